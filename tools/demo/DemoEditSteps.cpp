// The demo's stops at the video edit dialog and the batch vid search: a library video's texts
// and covers (a snapshot chosen, an own picture uploaded, one refused), the dialog for a file
// about to be uploaded, and ten pasted vids of which two are wrong.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "DemoDriver.h"
#include "account/AccountManager.h"
#include "app/Application.h"
#include "models/VideoTableModel.h"
#include "ui/library/VidTextBrowser.h"
#include "ui/library/VideoBatchSearchDialog.h"
#include "ui/library/VideoEditDialog.h"
#include "ui/shell/MainWindow.h"

namespace {

using Role = VideoTableModel::DataRole;

Application* App()
{
    return qobject_cast<Application*>(qApp);
}

MainWindow* Window()
{
    return App() ? App()->GetMainWindow() : nullptr;
}

// The library page of the main window, when it has one.
QWidget* LibraryPage()
{
    QWidget* page =
        Window() ? Window()->findChild<QWidget*>(QStringLiteral("VideoListWidget")) : nullptr;
    return page && page->isVisible() ? page : nullptr;
}

// A dialog of type T the page opened (modally), if any.
template <typename T>
T* OpenedDialog()
{
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

template <typename T = QWidget>
T* Find(QWidget* parent, const char* name)
{
    return parent ? parent->findChild<T*>(QLatin1String(name)) : nullptr;
}

void ClickOn(QWidget* widget)
{
    if (widget) {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    }
}

// The rows of the library that have pictures (six snapshots each).
QModelIndexList VideosWithPictures(const VideoTableModel& model)
{
    QModelIndexList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex first = model.index(row, 0);
        if (!first.data(int(Role::ThumbnailURL)).toUrl().isEmpty()) {
            rows.append(first);
        }
    }
    return rows;
}

// A picture for the own cover: a gradient with a caption.
QString MakeCoverPicture(const QString& path, const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(QStringLiteral("#2f6bff")));
    gradient.setColorAt(1, QColor(QStringLiteral("#14b8a6")));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(size.height() / 8);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("第一讲 · 函数与极限"));
    painter.end();
    return image.save(path) ? path : QString();
}

}  // namespace

void DemoDriver::AddEditSteps()
{
    // The dialogs are opened over the main window with the services the application owns.
    Add(QStringLiteral("library for the edit dialogs"), 1500, [this] {
        VideoTableModel* model = App() ? App()->GetVideoTableModel() : nullptr;
        if (!model || !Window()) {
            Fail(QStringLiteral("no video model or main window"));
            return;
        }
        if (model->rowCount() == 0) {
            model->RefreshVideoList(App()->GetAccountManager()->CateId(), QString(), true, 1, 100,
                                    ApiCollection::CreationTimeAsc);
        }
        WaitFor(QStringLiteral("library rows"), 30000,
                [model] { return VideosWithPictures(*model).size() >= 10; });
    });
    // Through the page's edit request when the page is there (it runs the dialog modally, and
    // the following steps run inside that dialog's loop); otherwise directly.
    Add(QStringLiteral("open edit dialog"), 300, [this] {
        VideoTableModel* model = App()->GetVideoTableModel();
        const QModelIndex row = VideosWithPictures(*model).at(1);
        if (QWidget* page = LibraryPage()) {
            QTimer::singleShot(0, page, [page, row] {
                QMetaObject::invokeMethod(page, "SignalEditVideoRequested",
                                          Q_ARG(QModelIndex, row));
            });
        }
    });
    Add(QStringLiteral("edit video"), 800, [this] {
        VideoTableModel* model = App()->GetVideoTableModel();
        VideoEditDialog* dialog = OpenedDialog<VideoEditDialog>();
        if (!dialog) {
            dialog = new VideoEditDialog(*model, Window());
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->SetVideoRow(VideosWithPictures(*model).at(1));
            dialog->open();
        }
        editDialog = dialog;
        auto* title = Find<QLineEdit>(dialog, "titleLineEdit");
        title->setFocus();
        title->end(false);
        QTest::keyClicks(title, QStringLiteral(" (2nd edition)"));
        Shot(QStringLiteral("50-edit-video"));
    });
    Add(QStringLiteral("edit cover"), 200, [this] {
        ClickOn(Find(editDialog, "coverInfoButton"));
        WaitFor(QStringLiteral("snapshots"), 30000, [this] {
            return editDialog && !editDialog->IsLoadingCovers() &&
                   Find(editDialog, "thumbs6Label")->property("valid").toBool();
        });
    });
    Add(QStringLiteral("snapshots loaded"), 300, [this] {
        Shot(QStringLiteral("51-edit-cover"));
        ClickOn(Find(editDialog, "thumbs4Label"));
        WaitFor(QStringLiteral("cover change"), 30000,
                [this] { return editDialog && !editDialog->IsBusy(); });
    });
    Add(QStringLiteral("snapshot chosen"), 300,
        [this] { Shot(QStringLiteral("52-edit-cover-snapshot-chosen")); });
    Add(QStringLiteral("own cover refused"), 2800, [this] {
        const QString path = MakeCoverPicture(
            Application::DataDirPath(QStringLiteral("demo-covers")) + QStringLiteral("/wide.png"),
            QSize(2000, 1200));
        editDialog->UploadCover(path);
        Shot(QStringLiteral("53-edit-cover-refused"));
    });
    Add(QStringLiteral("own cover"), 2800, [this] {
        const QString path =
            MakeCoverPicture(Application::DataDirPath(QStringLiteral("demo-covers")) +
                                 QStringLiteral("/第一讲 封面.png"),
                             QSize(1280, 720));
        editDialog->UploadCover(path);
        WaitFor(QStringLiteral("own cover"), 30000, [this] {
            return editDialog && !editDialog->IsBusy() && !editDialog->IsLoadingCovers();
        });
    });
    Add(QStringLiteral("own cover uploaded"), 300, [this] {
        Shot(QStringLiteral("54-edit-cover-own-uploaded"));
        ClickOn(Find(editDialog, "basicInfoButton"));
        ClickOn(Find(editDialog, "okButton"));
        WaitFor(QStringLiteral("edit saved"), 30000, [this] { return editDialog.isNull(); });
    });
    Add(QStringLiteral("edit upload row"), 2800, [this] {
        auto* dialog = new VideoEditDialog(Window());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->SetTitle(QStringLiteral("课程演示 第一讲"));
        dialog->SetTags(QStringLiteral("课程,数学"));
        dialog->SetDescription(QStringLiteral("函数与极限：第一讲的课堂录像。"));
        dialog->SetFileSize(quint64(64) << 20);
        dialog->SetMode(0);
        dialog->open();
        Shot(QStringLiteral("55-edit-upload-row"));
        dialog->reject();
    });
    Add(QStringLiteral("open batch search"), 2800, [this] {
        if (QWidget* page = LibraryPage()) {
            auto* search = Find<QPushButton>(page, "searchButton");
            QTimer::singleShot(0, page, [search] { ClickOn(search); });
        }
    });
    Add(QStringLiteral("batch search"), 800, [this] {
        VideoTableModel* model = App()->GetVideoTableModel();
        QStringList pasted;
        for (const QModelIndex& row : VideosWithPictures(*model).mid(0, 8)) {
            pasted.append(row.data(int(Role::Vid)).toString());
        }
        pasted.insert(2, pasted.at(0).left(30));
        pasted.insert(6, QStringLiteral("not-a-vid"));
        VideoBatchSearchDialog* dialog = OpenedDialog<VideoBatchSearchDialog>();
        if (!dialog) {
            dialog = new VideoBatchSearchDialog(Window());
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->open();
        }
        batchDialog = dialog;
        dialog->Browser()->setFocus();
        QApplication::clipboard()->setText(pasted.join(QLatin1Char('\n')));
        dialog->Browser()->paste();
        Shot(QStringLiteral("56-batch-search"));
    });
    Add(QStringLiteral("batch search query"), 300, [this] {
        VideoTableModel* model = App()->GetVideoTableModel();
        const QStringList vids = batchDialog ? batchDialog->Vids() : QStringList();
        // A dialog the page opened hands its vids to the page when it is accepted.
        const bool fromPage = batchDialog && batchDialog->parentWidget() != Window();
        ClickOn(Find(batchDialog, "queryButton"));
        if (vids.size() != 8) {
            Fail(QStringLiteral("batch search listed %1 vids, not 8").arg(vids.size()));
            return;
        }
        // The library page lists exactly these videos itself once the dialog is accepted;
        // without the page the model is asked directly.
        if (!fromPage) {
            model->GetVideosInfo2(vids, int(ApiCollection::Basic));
        }
        WaitFor(QStringLiteral("batch search results"), 30000,
                [model] { return model->rowCount() == 8; });
    });
    Add(QStringLiteral("batch search results"), 1200, [this] {
        if (!LibraryPage()) {
            qInfo().noquote() << "demo: no library page yet, batch search results not shown";
            return;
        }
        Shot(QStringLiteral("57-batch-search-results"));
    });
}
