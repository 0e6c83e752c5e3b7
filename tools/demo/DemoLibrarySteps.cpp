// The library page in the headless demo: the demo library with its tree and thumbnails, a
// search with and without results, the tree's menu, the add-category, move, delete and
// copy-code dialogs, the page of a viewer sub-account and the page of a new, empty library.
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include "DemoDriver.h"
#include "account/AccountManager.h"
#include "api/ApiSigning.h"
#include "app/Application.h"
#include "models/CategoryTreeModel.h"
#include "models/LibraryAccount.h"
#include "models/RecursiveFilterProxyModel.h"
#include "models/VideoTableModel.h"
#include "tasks/VideoTableModelWorker.h"
#include "ui/library/CategoryTreeView.h"
#include "ui/library/VideoListWidget.h"
#include "ui/library/VideoTableView.h"
#include "ui/shell/MainWindow.h"
#include "upload/SDKManager.h"

namespace {

constexpr int kCateIdRole = int(CategoryTreeModel::DataRole::CateId);

MainWindow* Main()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<MainWindow*>(widget)) {
            if (window->isVisible()) {
                return window;
            }
        }
    }
    return nullptr;
}

VideoListWidget* Page()
{
    MainWindow* window = Main();
    return window ? window->findChild<VideoListWidget*>() : nullptr;
}

template <typename T = QWidget>
T* Child(QObject* parent, const char* name)
{
    return parent ? parent->findChild<T*>(QLatin1String(name)) : nullptr;
}

void Click(QWidget* widget)
{
    if (widget) {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    }
}

// Every row shows its thumbnail (or its load has ended) and nothing loads any more.
bool PageSettled(VideoListWidget* page)
{
    if (!page || page->Table()->model()->rowCount() == 0) {
        return false;
    }
    auto* videos = qobject_cast<VideoTableModel*>(page->Table()->model());
    return !videos->Worker()->HasTasks();
}

QModelIndex TreeIndex(VideoListWidget* page, const QString& name)
{
    RecursiveFilterProxyModel* proxy = page->TreeProxy();
    const QModelIndexList found = proxy->match(proxy->index(0, 0), Qt::DisplayRole, name, 1,
                                               Qt::MatchExactly | Qt::MatchRecursive);
    return found.value(0);
}

// A second signed-in library in a window of its own (the viewer sub-account, a new account),
// built from the same classes the main window uses. The process-wide signing credentials and
// library session belong to the main window's account again once it is closed.
struct SecondLibrary
{
    AccountManager* accounts = nullptr;
    CategoryTreeModel* categories = nullptr;
    VideoTableModel* videos = nullptr;
    QWidget* window = nullptr;
    VideoListWidget* page = nullptr;
    bool failed = false;
};

SecondLibrary* OpenSecondLibrary(const QString& email, const QString& password)
{
    auto* second = new SecondLibrary;
    second->accounts = new AccountManager;
    second->accounts->SetSdkInitializer(
        [](const QString&, const QString&, const QString&) { return true; });
    QObject::connect(second->accounts, &AccountManager::SignalLoginFailed,
                     [second] { second->failed = true; });
    QObject::connect(second->accounts, &AccountManager::SignalLoginSucceed, [second] {
        second->categories = new CategoryTreeModel;
        second->videos = new VideoTableModel(*SDKManager::instance());
        second->videos->SetCategoryModel(second->categories);
        LibraryAccount account;
        account.userId = second->accounts->UserId();
        account.topCateId = second->accounts->CateId();
        account.canManage = second->accounts->HasPermission(AccountManager::OperaManage);
        account.canCopyCode = second->accounts->HasPermission(AccountManager::OperaCopyCode);
        second->categories->SetAccount(account);
        second->videos->SetAccount(account);
        second->window = new QWidget;
        second->window->setObjectName(QStringLiteral("DemoLibraryWindow"));
        second->window->setWindowTitle(second->accounts->UserAccount());
        auto* layout = new QVBoxLayout(second->window);
        layout->setContentsMargins(0, 0, 0, 0);
        second->page = new VideoListWidget(*second->accounts, *second->categories, *second->videos,
                                           *SDKManager::instance(), second->window);
        layout->addWidget(second->page);
        if (MainWindow* main = Main()) {
            second->window->setGeometry(main->geometry());
        } else {
            second->window->resize(1280, 800);
        }
        second->window->show();
        second->page->RefreshCategory();
    });
    second->accounts->Login(email, password, false);
    return second;
}

void CloseSecondLibrary(SecondLibrary* second)
{
    if (second->window) {
        second->window->close();
        delete second->window;
    }
    if (second->videos) {
        second->videos->StopAllTasksAndWait();
        delete second->videos;
    }
    if (second->categories) {
        second->categories->StopAllTasksAndWait();
        delete second->categories;
    }
    delete second->accounts;
    delete second;
    // The main window's account signs the requests again.
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance())) {
        AccountManager* main = app->GetAccountManager();
        ApiCollection::setCredentials({main->AppId(), main->AppSecret()});
    }
}

}  // namespace

void DemoDriver::AddLibrarySteps()
{
    Add(QStringLiteral("library page"), 300, [this] {
        MainWindow* window = Main();
        if (!window) {
            Fail(QStringLiteral("no main window"));
            return;
        }
        if (!Page()) {
            Fail(QStringLiteral("no library page"));
            return;
        }
        WaitFor(QStringLiteral("library loaded"), 30000, [] { return PageSettled(Page()); });
    });
    Add(QStringLiteral("whole library"), 300, [this] {
        // The whole library on one page: the top category with its sub-categories.
        Click(Child(Page(), "containSubCateButton"));
        WaitFor(QStringLiteral("whole library"), 20000, [] { return PageSettled(Page()); });
    });
    Add(QStringLiteral("library"), 600, [this] {
        VideoListWidget* page = Page();
        page->Tree()->expandAll();
        Shot(QStringLiteral("30-library"));
    });
    Add(QStringLiteral("search"), 100, [this] {
        auto* field = Child<QLineEdit>(Page(), "searchVideoLineEdit");
        field->setText(QStringLiteral("Demo video 1"));
        QTest::keyClick(field, Qt::Key_Return);
        WaitFor(QStringLiteral("search result"), 20000, [] { return PageSettled(Page()); });
    });
    Add(QStringLiteral("search result"), 500,
        [this] { Shot(QStringLiteral("31-library-search")); });
    Add(QStringLiteral("search without result"), 100, [this] {
        auto* field = Child<QLineEdit>(Page(), "searchVideoLineEdit");
        field->setText(QStringLiteral("不存在的视频"));
        QTest::keyClick(field, Qt::Key_Return);
        WaitFor(QStringLiteral("empty search result"), 20000, [] {
            auto* stack = Child<QWidget>(Page(), "noVideoPage");
            return stack && stack->isVisible();
        });
    });
    Add(QStringLiteral("search without result shown"), 500, [this] {
        Shot(QStringLiteral("32-library-search-empty"));
        Child<QLineEdit>(Page(), "searchVideoLineEdit")->clear();
        WaitFor(QStringLiteral("library again"), 20000, [] { return PageSettled(Page()); });
    });
    Add(QStringLiteral("tree menu"), 500, [this] {
        VideoListWidget* page = Page();
        const QModelIndex courses = TreeIndex(page, QStringLiteral("Courses"));
        CategoryTreeView* tree = page->Tree();
        tree->setCurrentIndex(courses);
        QMenu* menu = tree->CreateItemMenu(courses);
        const QRect item = tree->visualRect(courses);
        menu->popup(tree->viewport()->mapToGlobal(item.center() + QPoint(20, 0)));
        QTimer::singleShot(600, this, [this, menu] {
            Shot(QStringLiteral("33-library-tree-menu"));
            menu->close();
        });
    });
    Add(QStringLiteral("add category"), 1200, [this] {
        VideoListWidget* page = Page();
        QTimer::singleShot(700, this, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (auto* input = Child<QLineEdit>(dialog, "inputEditor")) {
                input->setText(QStringLiteral("第三单元 函数与方程"));
            }
            QTimer::singleShot(300, this, [this, dialog] {
                Shot(QStringLiteral("34-library-add-category"));
                Click(Child(dialog, "cancelButton"));
            });
        });
        page->Tree()->SlotAddCategory(TreeIndex(page, QStringLiteral("Mathematics")));
    });
    Add(QStringLiteral("move videos"), 600, [this] {
        VideoListWidget* page = Page();
        VideoTableView* table = page->Table();
        table->selectRow(0);
        table->selectRow(1);
        QTimer::singleShot(800, this, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* tree = Child<CategoryTreeView>(dialog, "moveCateTree");
            if (tree) {
                tree->expandAll();
                const QModelIndexList found = tree->model()->match(
                    tree->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("Archive"), 1,
                    Qt::MatchExactly | Qt::MatchRecursive);
                if (!found.isEmpty()) {
                    tree->setCurrentIndex(found.first());
                }
            }
            QTimer::singleShot(300, this, [this, dialog] {
                Shot(QStringLiteral("35-library-move"));
                Click(Child(dialog, "cancelButton"));
            });
        });
        Click(Child(page, "moveMultiVideoButton"));
    });
    Add(QStringLiteral("delete confirmation"), 600, [this] {
        VideoListWidget* page = Page();
        QTimer::singleShot(800, this, [this] {
            QWidget* box = QApplication::activeModalWidget();
            Shot(QStringLiteral("36-library-delete-confirm"));
            if (box) {
                box->close();
            }
        });
        Click(Child(page, "deleteMultiVideoButton"));
    });
    Add(QStringLiteral("copy code"), 600, [this] {
        VideoTableView* table = Page()->Table();
        table->clearSelection();
        const QModelIndex code = table->model()->index(0, int(VideoTableModel::Column::CodeGen));
        const QRect cell = table->visualRect(code);
        QTimer::singleShot(800, this, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            Shot(QStringLiteral("37-library-copy-code"));
            if (dialog) {
                dialog->close();
            }
        });
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    });
    for (const auto& [email, password, shot] :
         {std::make_tuple("viewer@kavro.example", "sub12345", "38-library-viewer"),
          std::make_tuple("new@kavro.example", "new12345", "39-library-empty")}) {
        const QString name = QString::fromLatin1(shot);
        auto second = std::make_shared<SecondLibrary*>(nullptr);
        Add(QStringLiteral("sign in as ") + QLatin1String(email), 600, [=] {
            *second = OpenSecondLibrary(QLatin1String(email), QLatin1String(password));
            WaitFor(name, 30000, [second] {
                SecondLibrary* library = *second;
                if (library->failed) {
                    return true;
                }
                if (!library->page) {
                    return false;
                }
                auto* empty = Child<QWidget>(library->page, "noVideoPage");
                return PageSettled(library->page) || (empty && empty->isVisible());
            });
        });
        Add(name, 800, [=] {
            if ((*second)->failed) {
                Fail(QStringLiteral("sign-in refused: ") + QLatin1String(email));
            } else {
                (*second)->page->Tree()->expandAll();
                Shot(name);
            }
            CloseSecondLibrary(*second);
        });
    }
}
