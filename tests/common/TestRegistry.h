#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

// Every test class of a test executable registers itself here; the shared
// main runs them all, so a folder's tests build into one executable.
namespace TestRegistry {
using Factory = std::function<std::unique_ptr<QObject>()>;
int Add(const char* name, Factory factory);
}

#define QUELT_TEST(Class)                                                                      \
    static const int quelt_registered_##Class =                                                 \
        TestRegistry::Add(#Class, [] { return std::unique_ptr<QObject>(new Class); })
