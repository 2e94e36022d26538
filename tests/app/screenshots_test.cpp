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
#include "app/main_menu.h"
#include "app/output_directory_dialog.h"
#include "app/qt_platform_hooks.h"
#include "app/supported_products_dialog.h"
#include "app_test_support.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace {

// Checks that the picture was written whole, at the widget's size.
void verifySaved(const QString& path, const QSize& size) {
    QVERIFY2(!path.isEmpty(), "screenshot not written");
    const QImage written(path);
    QCOMPARE(written.size(), size);
}

// The window with one menu (and optionally one of its sub-menus) drawn open
// over it, where they would appear.
QImage windowWithMenus(MainDialog& window, const std::vector<QMenu*>& menus) {
    QRect area = window.rect();
    for (QMenu* menu : menus) area |= QRect(window.mapFromGlobal(menu->pos()), menu->size());
    QImage canvas(area.size(), QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawPixmap(-area.topLeft(), window.grab());
    for (QMenu* menu : menus) {
        painter.drawPixmap(window.mapFromGlobal(menu->pos()) - area.topLeft(), menu->grab());
    }
    return canvas;
}

QMenu* openMenu(MainDialog& window, int position) {
    QMenuBar* bar = window.menuBar();
    QAction* title = bar->actions()[position];
    QMenu* menu = title->menu();
    menu->popup(bar->mapToGlobal(bar->actionGeometry(title).bottomLeft()));
    return menu;
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

    void mainWindow() {
        verifySaved(saveScreenshot(window_.get(), "main_window"), window_->size());
    }

    void eachMenuOpened_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("name");
        QTest::newRow("File") << 0 << "menu_file";
        QTest::newRow("Settings") << 1 << "menu_settings";
        QTest::newRow("Help") << 2 << "menu_help";
    }
    void eachMenuOpened() {
        QFETCH(int, position);
        QFETCH(QString, name);
        QMenu* menu = openMenu(*window_, position);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        const QImage picture = windowWithMenus(*window_, {menu});
        QVERIFY(picture.save(screenshotPath(name)));
        verifySaved(screenshotPath(name), picture.size());
        menu->hide();
    }

    void baudRateSubMenuOpened() {
        QMenu* settings = openMenu(*window_, 1);
        QVERIFY(QTest::qWaitForWindowExposed(settings));
        QAction* baud = settings->actions()[3];
        QMenu* rates = baud->menu();
        rates->popup(settings->mapToGlobal(settings->actionGeometry(baud).topRight()));
        QVERIFY(QTest::qWaitForWindowExposed(rates));
        const QImage picture = windowWithMenus(*window_, {settings, rates});
        QVERIFY(picture.save(screenshotPath("menu_settings_baudrate")));
        rates->hide();
        settings->hide();
    }

    void dialogs() {
        AboutDialog about(window_.get());
        SupportedProductsDialog products(window_.get());
        OutputDirectoryDialog directory(dir_->path(), window_.get());
        CommPortsDialog ports("/dev/ttyS0", "/dev/serial/by-id/usb-Orvane_Cable_0001-if00-port0",
                              window_.get(), [] {
                                  return std::vector<std::string>{
                                      "/dev/serial/by-id/usb-Orvane_Cable_0001-if00-port0",
                                      "/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS1"};
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
        QTest::addColumn<QString>("name");
        QTest::newRow("invalid directory")
            << "Invalid directory entered.  Please re-enter a valid directory."
            << "Set Output Directory" << uint(msgbox::IconInformation)
            << "message_invalid_directory";
        QTest::newRow("invalid port")
            << "ERROR:  Invalid Comm Port.  Please check the Comm Port setting.      "
            << "GPS Lumagrab" << uint(msgbox::IconStop) << "message_invalid_port";
    }
    void messageBoxes() {
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(uint, style);
        QFETCH(QString, name);
        QString saved;
        QSize size;
        onNextModal<QMessageBox>([&](QMessageBox* box) {
            saved = saveScreenshot(box, name);
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
