#pragma once
#include <QString>

// The package grants the program cap_net_bind_service for UDP port 1000 alone. Start-up binds that
// port before anything can load a plug-in (before the application object exists), then gives up
// every capability: effective, permitted and inheritable sets, and the bounding set where
// allowed. Empty when no capability is left; otherwise the line that says which remain, and the
// program must not start.
QString BindPortAndDropCapabilities(int udpPort);
