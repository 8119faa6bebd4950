#include "DravikDesignerPlugin.h"

#include "PaletteIcons.h"
#include "dravik/DBEditButton.h"
#include "dravik/EditButton.h"

namespace dravik {

namespace {
const QString kGroup = QStringLiteral("Brenholt");
}

TDravikWidgetPlugin::TDravikWidgetPlugin(QString className, QString includeFile, QString toolTip, QIcon icon,
                                         std::function<QWidget *(QWidget *)> create, QObject *parent)
    : QObject(parent), FClassName(std::move(className)), FIncludeFile(std::move(includeFile)),
      FToolTip(std::move(toolTip)), FIcon(std::move(icon)), FCreate(std::move(create))
{
}

QString TDravikWidgetPlugin::group() const
{
    return kGroup;
}

QWidget *TDravikWidgetPlugin::createWidget(QWidget *parent)
{
    return FCreate(parent);
}

// The widget box shows the class name without its namespace; a new control
// is named after it without the leading "T" ("editButton").
QString TDravikWidgetPlugin::domXml() const
{
    const QString shortName = FClassName.mid(FClassName.lastIndexOf(QLatin1String("::")) + 2);
    QString objectName = shortName.mid(1);
    objectName[0] = objectName[0].toLower();
    return QStringLiteral("<ui language=\"c++\" displayname=\"%1\"><widget class=\"%2\" name=\"%3\"/></ui>")
        .arg(shortName, FClassName, objectName);
}

TDravikDesignerPlugin::TDravikDesignerPlugin(QObject *parent) : QObject(parent)
{
    FWidgets.append(new TDravikWidgetPlugin(
        QStringLiteral("dravik::TEditButton"), QStringLiteral("dravik/EditButton.h"),
        QStringLiteral("KLX Library: edit box with a \"...\" button"), paletteIconTEDITBUTTON(),
        [](QWidget *parent) { return new TEditButton(parent); }, this));
    FWidgets.append(new TDravikWidgetPlugin(
        QStringLiteral("dravik::TwwDBEditButton"), QStringLiteral("dravik/DBEditButton.h"),
        QStringLiteral("KLX Library: data-aware edit box with a \"...\" button"), paletteIconTWWDBEDITBUTTON(),
        [](QWidget *parent) { return new TwwDBEditButton(parent); }, this));
}

} // namespace dravik
