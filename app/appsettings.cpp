#include "app/appsettings.h"

AppSettingsRecord AppSettings;
bool StartedFromSystem = false;
