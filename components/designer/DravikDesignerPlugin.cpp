#include "DravikDesignerPlugin.h"

#include "PaletteIcons.h"
#include "dravik/DBEditButton.h"
#include "dravik/EditButton.h"

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

QString TDravikWidgetPlugin::domXml() const
{
    QString objectName = FClassName.mid(1);
    objectName[0] = objectName[0].toLower();
    return QStringLiteral("<ui language=\"c++\"><widget class=\"%1\" name=\"%2\"/></ui>").arg(FClassName, objectName);
}

TDravikDesignerPlugin::TDravikDesignerPlugin(QObject *parent) : QObject(parent)
{
    FWidgets.append(new TDravikWidgetPlugin(
        QStringLiteral("TEditButton"), QStringLiteral("dravik/EditButton.h"),
        QStringLiteral("KLX Library: edit box with a \"...\" button"), paletteIconTEDITBUTTON(),
        [](QWidget *parent) { return new TEditButton(parent); }, this));
    FWidgets.append(new TDravikWidgetPlugin(
        QStringLiteral("TwwDBEditButton"), QStringLiteral("dravik/DBEditButton.h"),
        QStringLiteral("KLX Library: data-aware edit box with a \"...\" button"), paletteIconTWWDBEDITBUTTON(),
        [](QWidget *parent) { return new TwwDBEditButton(parent); }, this));
}
