#include "TestPaths.h"
#include "dravik/DBEditButton.h"
#include "dravik/EditButton.h"

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
        QWidget parent;
        std::unique_ptr<QWidget> created(widget->createWidget(&parent));
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(QString::fromLatin1(created->metaObject()->className()), widget->name());
        EXPECT_EQ(created->size(), QSize(83, 25));
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("TEditButton"), QStringLiteral("TwwDBEditButton")}));
}

} // namespace
