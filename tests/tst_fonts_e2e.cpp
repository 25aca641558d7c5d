// The font dialog against the printer simulator over loopback, beside the
// main window on the same link: the table read, edited, applied and reset;
// font files installed with their digest checked by the printer,
// uninstalled; an upload cancelled or cut off by a dropped link.

#include "fonts/dialogfontsettings.h"
#include "link/fileupload.h"
#include "linkfixture.h"
#include "modalcloser.h"
#include "pagesupport.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QProgressDialog>
#include <QTableWidget>

class TestFontsE2e : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    QTemporaryDir fonts_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<DialogFontSettings> dialog_;

    QStringList simArguments() const { return {"--font-dir", fonts_.path(), "--keepalive-ms", "0", "--no-discovery"}; }
    bool connected() const { return window_->statusLabel()->text() == f_.connectedText(); }
    bool connectLink()
    {
        return f_.link->openTcp(f_.sim.address()) && QTest::qWaitFor([this] { return connected(); }, 15000);
    }

    // The dialog as the print page opens it, with its first answers in.
    bool openDialog()
    {
        dialog_ = std::make_unique<DialogFontSettings>(window_.get());
        dialog_->show();
        return QTest::qWaitFor(
            [this] {
                return dialog_->fontSettingsTable()->rowCount() > 0 && dialog_->installedFontsTable()->rowCount() > 0;
            },
            15000);
    }

    QString cell(int row, int column) const { return dialog_->fontSettingsTable()->item(row, column)->text(); }
    QByteArray installed(const QString& name) const { return readFile(QDir(fonts_.path()).filePath(name)); }

    // The next Add Font picks a new file of that name and content.
    static void chooseFile(const QString& name, const QByteArray& data)
    {
        const QString path = writeScratchFile(name, data);
        DialogFontSettings::setFileChooser([path](QWidget*) { return path; });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(f_.initCase());
        QVERIFY(fonts_.isValid() && seedFontFolder(fonts_.path()));
    }
    void cleanupTestCase() { f_.cleanupCase(); }

    void init()
    {
        MessageBox::resetForTests();
        f_.makeLink();
        window_ = std::make_unique<MainWindow>();
        QVERIFY(f_.sim.start(simArguments()));
        QVERIFY(connectLink());
    }
    void cleanup()
    {
        dialog_.reset();
        DialogFontSettings::setFileChooser({});
        window_.reset();
        f_.dropLink();
    }

    void tableIsReadAppliedAndReset()
    {
        QVERIFY(openDialog());
        QTableWidget* table = dialog_->fontSettingsTable();
        const int rows = table->rowCount();
        QVERIFY(rows > 1);
        const QString threshold = cell(0, 5);
        const QString font = cell(0, 3);
        QVERIFY(!cell(0, 12).isEmpty());
        // No configuration file among the fonts.
        QVERIFY(!dialog_->installedFontNames().isEmpty());
        QVERIFY(!dialog_->installedFontNames().contains("fonts.conf"));

        table->item(0, 5)->setData(Qt::DisplayRole, threshold == "200" ? 201 : 200);
        table->item(0, 3)->setText(QString::fromUtf8("思源黑体-常规.otf"));
        const QString edited = cell(0, 5);
        QVERIFY(dialog_->applyButton()->isEnabled());
        dialog_->applyButton()->click();
        dialog_->doRefresh();
        QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), rows, 15000);
        QCOMPARE(cell(0, 5), edited);
        QCOMPARE(cell(0, 3), QString::fromUtf8("思源黑体-常规.otf"));

        buttonOf(*dialog_, "Reset to &Default")->click();
        QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), rows, 15000);
        QCOMPARE(cell(0, 5), threshold);
        QCOMPARE(cell(0, 3), font);
    }

    void fontIsInstalledAndUninstalled_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("one block") << 4080;
        QTest::newRow("three blocks") << 10000;
        QTest::newRow("3 MiB") << 3 * 1024 * 1024;
    }
    void fontIsInstalledAndUninstalled()
    {
        QFETCH(int, size);
        QVERIFY(openDialog());
        const QString name = QString::fromUtf8("Font-%1-黑体.ttf").arg(size);
        const QByteArray data = fileData(size);
        chooseFile(name, data);
        dialog_->doAddFont();
        // The printer keeps the file only when size and MD5 match; the dialog re-lists.
        QTRY_VERIFY_WITH_TIMEOUT(dialog_->installedFontNames().contains(name), 60000);
        QCOMPARE(installed(name), data);
        QVERIFY(!dialog_->progressDialog());
        QTableWidget* fonts = dialog_->installedFontsTable();
        int row = -1;
        for (int r = 0; r < fonts->rowCount(); ++r)
            if (fonts->item(r, 0)->text() == name)
                row = r;
        QVERIFY(row >= 0);
        QCOMPARE(fonts->item(row, 1)->text(), QString::number(size));

        fonts->selectRow(row);
        MessageBox::queueAnswer(QMessageBox::Yes);
        dialog_->doRemoveFont();
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QDir(fonts_.path()).filePath(name)), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog_->installedFontNames().isEmpty(), 15000);
        QVERIFY(!dialog_->installedFontNames().contains(name));
    }

    // Cancel drops the partial file by reconnecting; the window follows the
    // link back without offering to reconnect, and the next install works.
    void cancelReconnectsQuietly()
    {
        QVERIFY(openDialog());
        ModalCloser modal({"QProgressDialog"});
        chooseFile("Cancelled.ttf", fileData(3 * 1024 * 1024));
        connect(dialog_->upload(), &FileUpload::progress, this, [this](qint64 written) {
            if (written > 100000 && dialog_->progressDialog())
                dialog_->progressDialog()->findChild<QPushButton*>()->click();
        });
        QSignalSpy cancelled(dialog_->upload(), &FileUpload::cancelled);
        dialog_->doAddFont();
        QTRY_COMPARE_WITH_TIMEOUT(cancelled.size(), 1, 60000);
        QVERIFY(!dialog_->progressDialog());
        QTRY_VERIFY_WITH_TIMEOUT(connected(), 15000);
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("Cancelled.ttf")));

        disconnect(dialog_->upload(), &FileUpload::progress, this, nullptr);
        const QByteArray data = fileData(10000);
        chooseFile("After.ttf", data);
        dialog_->doAddFont();
        QTRY_VERIFY_WITH_TIMEOUT(dialog_->installedFontNames().contains("After.ttf"), 60000);
        QCOMPARE(installed("After.ttf"), data);
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // The printer goes away mid-file: the progress closes, the user is told,
    // and once the printer is back the next install works.
    void droppedLinkEndsTheUpload()
    {
        QVERIFY(openDialog());
        ModalCloser modal({"QProgressDialog"});
        chooseFile("Dropped.ttf", fileData(3 * 1024 * 1024));
        bool stopped = false;
        connect(dialog_->upload(), &FileUpload::progress, this, [this, &stopped](qint64 written) {
            if (written > 100000 && !stopped) {
                stopped = true;
                f_.sim.stop();
            }
        });
        MessageBox::queueAnswer(QMessageBox::Ok);
        dialog_->doAddFont();
        QList<MessageBox::Shown> shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += MessageBox::takeShown()).size() == 1, 60000);
        QCOMPARE(shown.at(0).title, QString("Install Font"));
        QVERIFY(!dialog_->progressDialog());
        QVERIFY(!dialog_->upload()->isActive());

        disconnect(dialog_->upload(), &FileUpload::progress, this, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(modal.seen.contains("DialogReconnect"), 15000);
        QVERIFY(f_.sim.start(simArguments()));
        f_.link->close();
        QVERIFY(connectLink());
        const QByteArray data = fileData(10000);
        chooseFile("AfterDrop.ttf", data);
        dialog_->doAddFont();
        QTRY_COMPARE_WITH_TIMEOUT(installed("AfterDrop.ttf"), data, 60000);
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("Dropped.ttf")));
    }
};

QTEST_MAIN(TestFontsE2e)
#include "tst_fonts_e2e.moc"
