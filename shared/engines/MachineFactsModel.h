#pragma once

#include "core/PendingWork.h"
#include "platform/host/MachineReader.h"

#include <QObject>

#include <optional>

// The machine's own facts (its model, processor, memory, system version and identifiers) for the views
// that describe the machine. Read once, from small kernel files but still off the GUI thread; factsChanged
// is signalled when they are in.
class MachineFactsModel : public QObject
{
    Q_OBJECT
public:
    // Reads the facts with `reader` on a worker, which the destructor waits for.
    explicit MachineFactsModel(platform::MachineReader reader = platform::MachineReader(), QObject* parent = nullptr);
    // Facts known already.
    explicit MachineFactsModel(platform::MachineFacts facts, QObject* parent = nullptr);

    // Nothing until the facts are in.
    const std::optional<platform::MachineFacts>& facts() const { return m_facts; }

signals:
    void factsChanged();

private:
    std::optional<platform::MachineFacts> m_facts;
    PendingWork m_reading {this};
};
