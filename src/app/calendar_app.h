// The application object: one copy of the calendar per session, then the main window.
#pragma once

#include "framework/app.h"

#define ALMANIX_INSTANCE_EVENT "Almanix_Vantor"

class CCalendarApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
