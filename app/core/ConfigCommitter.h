#pragma once

#ifndef Q_MOC_RUN
#include "records/PersonaConfiguration.h"
#endif

#include <QFuture>
#include <QObject>
#include <QPromise>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Writes persona configurations back one at a time and never loses an edit. Each edit starts from
// latest(): the newest configuration handed in, even while earlier ones are still being written, so a
// slider step followed at once by a toggle keeps both. While a write runs, further configurations
// wait and only the newest of them is written next.
class ConfigCommitter : public QObject
{
    Q_OBJECT
public:
    // `write` stores one configuration and finishes its future once the view model shows it; `current`
    // is the configuration the view model shows.
    using Write = std::function<QFuture<void>(const PersonaConfiguration&)>;
    using Current = std::function<PersonaConfiguration()>;

    ConfigCommitter(Write write, Current current, QObject* parent = nullptr);

    // The configuration every edit starts from.
    PersonaConfiguration latest() const;
    // Finishes once this configuration, or a newer one, has been written and shown.
    QFuture<void> commit(const PersonaConfiguration& configuration);
    bool isBusy() const { return m_writing.has_value(); }

private:
    void startNext();

    Write m_write;
    Current m_current;
    std::optional<PersonaConfiguration> m_writing;
    std::optional<PersonaConfiguration> m_waiting;
    std::vector<std::shared_ptr<QPromise<void>>> m_writingPromises;
    std::vector<std::shared_ptr<QPromise<void>>> m_waitingPromises;
};
