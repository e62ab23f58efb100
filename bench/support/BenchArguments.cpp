#include "bench/support/BenchArguments.h"

int BenchArguments::intValue(const QString& name, int fallback) const
{
    bool ok = false;
    const int value = stringValue(name, QString()).toInt(&ok);
    return ok ? value : fallback;
}

double BenchArguments::doubleValue(const QString& name, double fallback) const
{
    bool ok = false;
    const double value = stringValue(name, QString()).toDouble(&ok);
    return ok ? value : fallback;
}

QString BenchArguments::stringValue(const QString& name, const QString& fallback) const
{
    const qsizetype at = m_arguments.indexOf(name);
    return at >= 0 && at + 1 < m_arguments.size() ? m_arguments[at + 1] : fallback;
}
