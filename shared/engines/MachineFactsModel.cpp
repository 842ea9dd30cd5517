#include "MachineFactsModel.h"

#include <QtConcurrent>

MachineFactsModel::MachineFactsModel(platform::MachineReader reader, QObject* parent)
    : QObject(parent)
{
    QtConcurrent::run([reader = std::move(reader)] {
        return reader.read();
    }).then(this, [this](const platform::MachineFacts& facts) {
        m_facts = facts;
        emit factsChanged();
    });
}

MachineFactsModel::MachineFactsModel(platform::MachineFacts facts, QObject* parent)
    : QObject(parent)
    , m_facts(std::move(facts))
{
}
