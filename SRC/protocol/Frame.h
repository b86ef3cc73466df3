#pragma once
// Command frames: 0xC8, RXID, DevIdx, 0xC9, Cmd, Len, payload, Crc. Free of Qt types, so that a
// fuzzer can drive the parsing.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t FrameHead = 0xC8;
constexpr uint8_t FrameMark = 0xC9;
constexpr int FrameOverhead = 7;      // header, Len and Crc around the payload
constexpr int FrameBufferSize = 256;  // frames are built in a buffer of this size
constexpr int MaxPayload = FrameBufferSize - FrameOverhead; // 249

// CRC-8, polynomial 0x07, initial 0, final XOR 0xFF, of the first count bytes.
uint8_t FrameCrc8(const uint8_t* bytes, size_t count);

// The frame of len + 7 bytes; empty when len exceeds MaxPayload (nothing is built).
std::vector<uint8_t> BuildFrame(uint8_t rxid, uint8_t devIdx, uint8_t cmd, const uint8_t* payload, size_t len);

// False when cmd is one of the command set's and len is not a length it ever has (a status
// reply carries at least its nine values; unknown commands may have any Len).
bool LenFitsCommand(uint8_t cmd, uint8_t len);

// The checksum test: the last byte equals FrameCrc8 of the bytes before it.
bool FrameChecksumOk(const uint8_t* bytes, size_t n);

// The structural test of a datagram: at least 7 bytes, head and mark in place, Len + 7 == n.
bool IsWellFormedDatagram(const uint8_t* bytes, size_t n);

// Field access of a structurally valid frame.
inline uint8_t FrameRxid(const uint8_t* f) { return f[1]; }
inline uint8_t FrameDevIdx(const uint8_t* f) { return f[2]; }
inline uint8_t FrameCmd(const uint8_t* f) { return f[4]; }
inline uint8_t FrameLen(const uint8_t* f) { return f[5]; }
inline const uint8_t* FramePayload(const uint8_t* f) { return f + 6; }

// Cuts frames out of the serial byte stream: a 256-byte buffer whose unconsumed bytes always stay
// at its start. Bytes that cannot start a frame are dropped one at a time: so is the first byte of
// a header whose Len does not fit the buffer (above MaxPayload) or its command (LenFitsCommand:
// a header cut short borrows the next frame's 0xC8 as its Len) and of a candidate whose checksum
// fails. The buffer is therefore never left full: whatever NextFrame leaves, more bytes fit.
class SerialFrameCutter {
public:
    static constexpr int Capacity = FrameBufferSize;

    int Count() const { return m_count; }
    int FreeSpace() const { return Capacity - m_count; }
    uint8_t* WritePointer() { return m_buffer + m_count; }
    // Bytes placed at WritePointer(); false, and nothing taken, when the count is negative or
    // larger than FreeSpace().
    bool Commit(int bytesWritten);
    // Copies as many of the bytes as fit behind the unconsumed ones; returns how many were taken.
    int Append(const uint8_t* bytes, int count);
    void Discard() { m_count = 0; }
    // Takes the next whole frame into out; false when no whole frame is waiting. With expired
    // (the 500 ms rule: no more bytes will come for them) an incomplete candidate counts as
    // failed, so that whole frames behind it are still taken; Discard() then drops the rest.
    bool NextFrame(std::vector<uint8_t>& out, bool expired = false);

private:
    uint8_t m_buffer[Capacity] = {};
    int m_count = 0;
};
