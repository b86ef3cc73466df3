#pragma once
// The open tool windows that expect replies from receivers. HandleFrame reaches each through
// this one registry; a window registers in its constructor and unregisters in its destructor,
// beside setting and clearing its own global instance pointer (FrmSearceHR, ...).
#include <QString>
#include <array>
#include <cstdint>

enum class ToolWindow {
    RFHistory,
    ScanRF,
    SingleSet,
    MulitSet,
    DevProperty,
    SetFreq,
    SetMuiltFreq,
    SearceHR,
    ModifyHrIP,
    Count
};

// The entries HandleFrame calls; each window overrides those it needs. Each decides itself
// whether a reply belongs to its current operation.
class ToolReplyHandler {
public:
    virtual ~ToolReplyHandler() = default;
    virtual void OnStatus(int /*rxid*/, int /*devIdx*/, const uint8_t* /*payload*/) {}
    virtual void OnScanPoint(int /*rxid*/, const uint8_t* /*payload*/) {}
    virtual void OnScanEnd(int /*rxid*/, int /*command*/) {}
    virtual void OnSetReply(int /*rxid*/, int /*devIdx*/, int /*command*/) {}
    virtual void OnSearchReply(const QString& /*source*/, const uint8_t* /*frame*/, int /*size*/) {}
    virtual void OnSetIpReply(const QString& /*source*/, const uint8_t* /*frame*/, int /*size*/) {}
};

namespace toolwindows {
inline std::array<ToolReplyHandler*, static_cast<size_t>(ToolWindow::Count)>& Slots()
{
    static std::array<ToolReplyHandler*, static_cast<size_t>(ToolWindow::Count)> open {};
    return open;
}
} // namespace toolwindows

inline void RegisterToolWindow(ToolWindow which, ToolReplyHandler* handler)
{
    toolwindows::Slots()[static_cast<size_t>(which)] = handler;
}

// Clears the slot only if it still holds this handler.
inline void UnregisterToolWindow(ToolWindow which, ToolReplyHandler* handler)
{
    auto& slot = toolwindows::Slots()[static_cast<size_t>(which)];
    if (slot == handler)
        slot = nullptr;
}

// The open window of this kind, or nullptr.
inline ToolReplyHandler* OpenToolWindow(ToolWindow which)
{
    return toolwindows::Slots()[static_cast<size_t>(which)];
}
