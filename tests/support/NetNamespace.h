#pragma once
#include <QString>

namespace testsupport {

// Re-executes the running test inside a private network namespace (unshare -n as root,
// unshare -Urn otherwise) with lo up and a default route on lo, so that broadcasts and port 1000
// stay inside it. Returns only when already inside, or when no namespace can be made here; the
// reason is then kept for NetNamespaceUnavailableReason(). Call it first thing in main().
void EnterPrivateNetworkNamespace(int argc, char** argv);

bool InPrivateNetworkNamespace();
QString NetNamespaceUnavailableReason();

} // namespace testsupport

// main() for a test that needs the namespace. Tests that broadcast or bind port 1000 begin with
// REQUIRE_PRIVATE_NETNS(), which skips them with the reason where no namespace could be made.
#define TESSARO_NETNS_TEST_MAIN(AppClass, TestClass)                 \
    int main(int argc, char** argv)                                  \
    {                                                                \
        testsupport::EnterPrivateNetworkNamespace(argc, argv);       \
        AppClass app(argc, argv);                                    \
        app.setAttribute(Qt::AA_Use96Dpi, true);                     \
        TestClass test;                                              \
        return QTest::qExec(&test, argc, argv);                      \
    }

#define REQUIRE_PRIVATE_NETNS()                                                         \
    do {                                                                                \
        if (!testsupport::InPrivateNetworkNamespace())                                  \
            QSKIP(qPrintable(testsupport::NetNamespaceUnavailableReason()));            \
    } while (false)
