#pragma once

#include <memory>

// A shared pointer to an object the test owns and keeps until every use has ended (its pool goes first):
// holding it keeps nothing alive.
template<class T> std::shared_ptr<T> unowned(T& object)
{
    return std::shared_ptr<T>(std::shared_ptr<T>(), &object);
}
