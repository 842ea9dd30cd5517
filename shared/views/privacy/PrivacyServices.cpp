#include "PrivacyServices.h"

#include "records/AuditLogger.h"
#include "records/PrivacyMetricsEngine.h"
#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"

#include <QFileInfo>
#include <QThreadPool>

PrivacyServices PrivacyServices::standard(std::shared_ptr<HelperService> helper, QThreadPool* pool)
{
    const PrivacyLocations places = PrivacyLocations::standard();
    return PrivacyServices {&PrivacyMetricsEngine::shared(), &AuditLogger::shared(), std::move(helper),
        &Dialogs::system(), &Desktop::system(), &Clock::system(), pool ? pool : QThreadPool::globalInstance(),
        places.dataDirectory, places.helperBinary, QFileInfo(places.settingsFile).absolutePath()};
}
