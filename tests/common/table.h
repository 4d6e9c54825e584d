#pragma once

#include <QtTest>

#include <tuple>

// A data table in one line each: columns<int, QString>("frames", "code") in the
// _data function, auto [frames, code] = fetch<int, QString>("frames", "code")
// in the test, and row("name", 25, "00:00:01:00") for a row.
namespace Table
{
template <typename... T, typename... Name> void columns(Name... names)
{
    static_assert(sizeof...(T) == sizeof...(Name));
    (QTest::addColumn<T>(names), ...);
}

template <typename... T, typename... Name> std::tuple<T...> fetch(Name... names)
{
    static_assert(sizeof...(T) == sizeof...(Name));
    return {*static_cast<T *>(QTest::qData(names, qMetaTypeId<T>()))...};
}

template <typename... T> void row(const char *name, const T &...values)
{
    (QTest::newRow(name) << ... << values);
}
} // namespace Table
