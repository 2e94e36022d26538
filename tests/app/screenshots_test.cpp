// Writes pictures of the main window, each of its menus opened, and each
// dialog, as PNG files under the build folder (tests/app/screenshots), so
// that a person can look at the layouts.
#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QtTest>
#include <memory>

#include "app/about_dialog.h"
#include "app/comm_ports_dialog.h"
#include "app/main_dialog.h"
#include "app/output_directory_dialog.h"
#include "app/qt_platform_hooks.h"
#include "app/supported_products_dialog.h"
#include "app_test_support.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace {

// Checks that the picture was written whole, at the size it was drawn.
void verifySaved(const QString& path, const QSize& size) {
    QVERIFY2(!path.isEmpty(), "screenshot not written");
    QCOMPARE(QImage(path).size(), size);
}

// Pops `menu` up under `anchor` (a menu bar or menu) at the item `title`.
void popUp(QWidget* anchor, QAction* title) {
    if (auto* bar = qobject_cast<QMenuBar*>(anchor))
        title->menu()->popup(bar->mapToGlobal(bar->actionGeometry(title).bottomLeft()));
    else
        title->menu()->popup(
            anchor->mapToGlobal(static_cast<QMenu*>(anchor)->actionGeometry(title).topRight()));
}

}  // namespace

class ScreenshotsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<MainDialog> window_;

  private slots:
    void initTestCase() {
        installQtPlatformHooks();
        dir_ = std::make_unique<TempDir>();
        window_ = std::make_unique<MainDialog>(dir_->file("GPSLumagrab.reg"));
        window_->move(40, 40);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanupTestCase() {
        window_.reset();
        removeQtPlatformHooks();
    }

    // The window with a menu (and perhaps one of its sub-menus) drawn open
    // over it, where they appear.
    void mainWindowAndEachMenu_data() {
        QTest::addColumn<int>("menu");
        QTest::addColumn<int>("subMenu");
        QTest::newRow("main_window") << -1 << -1;
        QTest::newRow("menu_file") << 0 << -1;
        QTest::newRow("menu_settings") << 1 << -1;
        QTest::newRow("menu_settings_baudrate") << 1 << 3;
        QTest::newRow("menu_help") << 2 << -1;
    }
    void mainWindowAndEachMenu() {
        QFETCH(int, menu);
        QFETCH(int, subMenu);
        std::vector<QMenu*> open;
        QWidget* anchor = window_->menuBar();
        for (int position : {menu, subMenu}) {
            if (position < 0)
                break;
            QAction* title = anchor->actions()[position];
            popUp(anchor, title);
            QVERIFY(QTest::qWaitForWindowExposed(title->menu()));
            open.push_back(title->menu());
            anchor = title->menu();
        }
        QRect area = window_->rect();
        for (QMenu* m : open) area |= QRect(window_->mapFromGlobal(m->pos()), m->size());
        QImage canvas(area.size(), QImage::Format_ARGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        painter.drawPixmap(-area.topLeft(), window_->grab());
        for (QMenu* m : open)
            painter.drawPixmap(window_->mapFromGlobal(m->pos()) - area.topLeft(), m->grab());
        painter.end();
        const QString path = screenshotPath(QTest::currentDataTag());
        QVERIFY(canvas.save(path));
        verifySaved(path, canvas.size());
        for (auto m = open.rbegin(); m != open.rend(); ++m) (*m)->hide();
    }

    void dialogs() {
        AboutDialog about(window_.get());
        SupportedProductsDialog products(window_.get());
        OutputDirectoryDialog directory(dir_->path(), window_.get());
        const std::string cable = "/dev/serial/by-id/usb-Orvane_Cable_0001-if00-port0";
        CommPortsDialog ports("/dev/ttyS0", cable, window_.get(), [&] {
            return std::vector<std::string>{cable, "/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS1"};
        });
        const std::pair<QDialog*, const char*> shots[] = {{&about, "dialog_about"},
                                                          {&products, "dialog_supported_products"},
                                                          {&directory, "dialog_output_directory"},
                                                          {&ports, "dialog_comm_ports"}};
        for (const auto& [dialog, name] : shots) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            verifySaved(saveScreenshot(dialog, name), dialog->size());
            dialog->hide();
        }
    }

    void messageBoxes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<uint>("style");
        QTest::newRow("message_invalid_directory")
            << "Invalid directory entered.  Please re-enter a valid directory."
            << "Set Output Directory" << uint(msgbox::IconInformation);
        QTest::newRow("message_invalid_port")
            << "ERROR:  Invalid Comm Port.  Please check the Comm Port setting.      "
            << "GPS Lumagrab" << uint(msgbox::IconStop);
    }
    void messageBoxes() {
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(uint, style);
        QString saved;
        QSize size;
        onNextModal<QMessageBox>([&](QMessageBox* box) {
            saved = saveScreenshot(box, QTest::currentDataTag());
            size = box->size();
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(platformMessageBox(text.toStdString(), caption.toStdString(), style),
                 msgbox::IdOk);
        verifySaved(saved, size);
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "screenshots_test.moc"
