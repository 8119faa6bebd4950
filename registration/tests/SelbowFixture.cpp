#include "SelbowFixture.h"

#include "palmcontrols/ControlFactory.h"
#include "palmcontrols/TConduitData.h"
#include "palmcontrols/TConduitManager.h"
#include "palmcontrols/TUserData.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <memory>

void SelbowTest::SetUp()
{
    ::setenv("HOTSYNC_ROOT", root().path().c_str(), 1);
    utils.setSoundHook([](unsigned int) {});
    utils.setAnswerHook([this](const TMessageBoxRequest &request) {
        if (request.type == mtError)
            errors.push_back(request.text);
        return QMessageBox::Ok;
    });
}

void SelbowTest::TearDown()
{
    palmcontrols::setControlMaker(palmcontrols::TConduitManager::classId, {});
    palmcontrols::setControlMaker(palmcontrols::TConduitData::classId, {});
    palmcontrols::setControlMaker(palmcontrols::TUserData::classId, {});
    ::unsetenv("HOTSYNC_ROOT");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void SelbowTest::whenModal(std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action = std::move(action), tries] {
        QWidget *modal = QApplication::activeModalWidget();
        const bool shown = modal != nullptr && modal->isVisible();
        if (!shown && ++*tries <= 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (shown)
            action(modal);
        else
            ADD_FAILURE() << "no modal dialog appeared";
    });
    timer->start();
}
