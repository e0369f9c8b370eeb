#include "profiles/CommProfile.h"

namespace tornyx {

QString defaultProfileName(int n) {
    if (n == 11)
        return QStringLiteral(u"OSP専用_NO.1");
    if (n == 12)
        return QStringLiteral(u"OSP専用_NO.2");
    return QStringLiteral(u"設定") + QString::number(n);
}

CommProfile defaultProfile(int n) {
    CommProfile p;
    p.setting.name = defaultProfileName(n);
    return p;
}

ProfileTable::ProfileTable() {
    for (int n = 1; n <= ProfileCount; ++n)
        m_profiles[n - 1] = defaultProfile(n);
}

} // namespace tornyx
