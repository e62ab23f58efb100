#pragma once

#include <QStringList>

// Options of the form "--name value" and "--flag" on a benchmark's command line.
class BenchArguments
{
public:
    explicit BenchArguments(QStringList arguments) : m_arguments(std::move(arguments)) {}

    bool has(const QString& name) const { return m_arguments.contains(name); }
    int intValue(const QString& name, int fallback) const;
    double doubleValue(const QString& name, double fallback) const;
    QString stringValue(const QString& name, const QString& fallback) const;

private:
    QStringList m_arguments;
};
