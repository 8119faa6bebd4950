#include "UserObject.h"

#include <QCollator>
#include <QLocale>
#include <QString>

namespace {

// The user's collation, without regard to case. The C locale has no
// collation of its own (it would order by code point, "Émile" after "zed"),
// so it takes the English one.
const QCollator &nameCollator()
{
    static const QCollator collator = [] {
        QLocale locale;
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English, QLocale::UnitedStates);
        QCollator c(locale);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(false);
        return c;
    }();
    return collator;
}

} // namespace

int CompareUserNames(const std::string &a, const std::string &b)
{
    const QString x = QString::fromStdString(a);
    const QString y = QString::fromStdString(b);
    const int byCollation = nameCollator().compare(x, y);
    if (byCollation != 0)
        return byCollation < 0 ? -1 : 1;
    // Names the collation holds equal apart from case count as equal; any
    // other remaining difference (characters the collation ignores) is
    // ordered by Unicode case folding, so that the order is always the same.
    const int folded = x.compare(y, Qt::CaseInsensitive);
    return folded < 0 ? -1 : (folded > 0 ? 1 : 0);
}

void ClearUserList(TUserList &list)
{
    while (list.Count() > 0)
        list.Delete(0);
}

void CopyUser(TUserObject &target, const TUserObject &source)
{
    target.UserId = source.UserId;
    target.UserName = source.UserName;
    target.UserDirectory = source.UserDirectory;
}
