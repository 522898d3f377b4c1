// The application object: single instance, start-up order, end.
#pragma once

#include <windows.h>

#include "shell/framework/application.h"

class CTrayApp : public fw::Application {
public:
    CTrayApp() = default;

    bool InitInstance() override;
    int ExitInstance() override;

    // Held from start to end so a second copy can see this one.
    HANDLE InstanceMutex = nullptr;
};
