#pragma once

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QIcon>
#include <functional>

namespace dravik {

// One control of the package as Qt Designer offers it.
class TDravikWidgetPlugin : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)
public:
    TDravikWidgetPlugin(QString className, QString includeFile, QString toolTip, QIcon icon,
                        std::function<QWidget *(QWidget *)> create, QObject *parent);

    QString name() const override { return FClassName; }
    QString group() const override;
    QString toolTip() const override { return FToolTip; }
    QString whatsThis() const override { return FToolTip; }
    QString includeFile() const override { return FIncludeFile; }
    QIcon icon() const override { return FIcon; }
    bool isContainer() const override { return false; }
    QWidget *createWidget(QWidget *parent) override;
    bool isInitialized() const override { return FInitialized; }
    void initialize(QDesignerFormEditorInterface *) override { FInitialized = true; }
    QString domXml() const override;

private:
    QString FClassName;
    QString FIncludeFile;
    QString FToolTip;
    QIcon FIcon;
    std::function<QWidget *(QWidget *)> FCreate;
    bool FInitialized = false;
};

// The package "KLX Library" as a Designer plug-in.
class TDravikDesignerPlugin : public QObject, public QDesignerCustomWidgetCollectionInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)
public:
    explicit TDravikDesignerPlugin(QObject *parent = nullptr);

    QList<QDesignerCustomWidgetInterface *> customWidgets() const override { return FWidgets; }

private:
    QList<QDesignerCustomWidgetInterface *> FWidgets;
};

} // namespace dravik
