#include "PrivacyServices.h"

#include "records/AuditLogger.h"
#include "records/PrivacyMetricsEngine.h"
#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"

#include <QThreadPool>

PrivacyServices PrivacyServices::standard(HelperService* helper)
{
    return PrivacyServices {&PrivacyMetricsEngine::shared(), &AuditLogger::shared(), helper, &Dialogs::system(),
        &Desktop::system(), &Clock::system(), QThreadPool::globalInstance(),
        PrivacyMetricsEngine::DataInventory::dataDirectory(), PrivacyLocations::standard().helperBinary};
}
