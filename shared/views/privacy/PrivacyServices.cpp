#include "PrivacyServices.h"

#include "records/AuditLogger.h"
#include "records/PrivacyMetricsEngine.h"
#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"

#include <QFileInfo>
#include <QThreadPool>

PrivacyServices PrivacyServices::standard(HelperService* helper)
{
    const PrivacyLocations places = PrivacyLocations::standard();
    return PrivacyServices {&PrivacyMetricsEngine::shared(), &AuditLogger::shared(), helper, &Dialogs::system(),
        &Desktop::system(), &Clock::system(), QThreadPool::globalInstance(), places.dataDirectory, places.helperBinary,
        QFileInfo(places.settingsFile).absolutePath()};
}
