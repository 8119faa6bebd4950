#include "TestPaths.h"
#include "dravik/DBEditButton.h"
#include "dravik/EditButton.h"
#include "ui_DesignerForm.h"

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <gtest/gtest.h>

#include <QPluginLoader>

#include <memory>

namespace {

TEST(DesignerPluginTest, OffersBothControlsInTheBrenholtGroup)
{
    QPluginLoader loader(QString::fromStdString((gvtest::binaryDir() / "libDravikDesigner.so").string()));
    QObject *instance = loader.instance();
    ASSERT_NE(instance, nullptr) << loader.errorString().toStdString();
    auto *collection = qobject_cast<QDesignerCustomWidgetCollectionInterface *>(instance);
    ASSERT_NE(collection, nullptr);

    const auto widgets = collection->customWidgets();
    ASSERT_EQ(widgets.size(), 2);
    QStringList names;
    for (auto *widget : widgets) {
        SCOPED_TRACE(widget->name().toStdString());
        names << widget->name();
        EXPECT_EQ(widget->group(), QStringLiteral("Brenholt"));
        EXPECT_FALSE(widget->icon().isNull());
        EXPECT_TRUE(widget->domXml().contains(QStringLiteral("class=\"%1\"").arg(widget->name())));
        // The widget box names the control without its namespace.
        EXPECT_TRUE(widget->domXml().contains(QStringLiteral("displayname=\"%1\"").arg(widget->name().section(QLatin1String("::"), -1))));
        QWidget parent;
        std::unique_ptr<QWidget> created(widget->createWidget(&parent));
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(QString::fromLatin1(created->metaObject()->className()), widget->name());
        EXPECT_EQ(created->size(), QSize(83, 25));
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("dravik::TEditButton"), QStringLiteral("dravik::TwwDBEditButton")}));
}

// A form saved by Designer with both controls goes through uic and builds
// them by their qualified class names and headers.
TEST(DesignerPluginTest, AFormWithTheControlsCompilesAndBuildsThem)
{
    QWidget form;
    Ui::DesignerForm ui;
    ui.setupUi(&form);
    EXPECT_EQ(QString::fromLatin1(ui.editButton->metaObject()->className()), QStringLiteral("dravik::TEditButton"));
    EXPECT_EQ(ui.editButton->objectName(), QStringLiteral("editButton"));
    EXPECT_EQ(QString::fromLatin1(ui.wwDBEditButton->metaObject()->className()),
              QStringLiteral("dravik::TwwDBEditButton"));
    EXPECT_EQ(ui.wwDBEditButton->objectName(), QStringLiteral("wwDBEditButton"));
}

} // namespace
