#include "MachineFactsModel.h"

MachineFactsModel::MachineFactsModel(platform::MachineReader reader, QObject* parent)
    : QObject(parent)
{
    m_reading.run([reader = std::move(reader)] { return reader.read(); },
        [this](platform::MachineFacts facts) {
            m_facts = std::move(facts);
            emit factsChanged();
        });
}

MachineFactsModel::MachineFactsModel(platform::MachineFacts facts, QObject* parent)
    : QObject(parent)
    , m_facts(std::move(facts))
{
}
