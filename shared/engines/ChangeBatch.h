#pragma once

#include <QObject>

#include <utility>

// Stores the value and emits the owner's change signal when it differs; true when it did.
template<typename Owner, typename T>
bool publishFigure(Owner& owner, T& field, const T& value, void (Owner::*changed)())
{
    if (field == value)
        return false;
    field = value;
    emit(owner.*changed)();
    return true;
}

// The figures one publication changes on a model: each changed figure signals at once, and the model's
// figuresChanged follows once, at finish(), when any did.
template<typename Owner> class ChangeBatch
{
public:
    explicit ChangeBatch(Owner& owner)
        : m_owner(owner)
    {
    }

    template<typename T> void publish(T& field, const T& value, void (Owner::*changed)())
    {
        m_any = publishFigure(m_owner, field, value, changed) || m_any;
    }
    // Counts the figures a part of the model published on its own signals.
    void add(bool changed) { m_any = changed || m_any; }
    void finish()
    {
        if (std::exchange(m_any, false))
            emit m_owner.figuresChanged();
    }

private:
    Owner& m_owner;
    bool m_any = false;
};
