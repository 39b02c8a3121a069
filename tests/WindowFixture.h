#pragma once
// Both windows as the program entry builds them, started in a temporary
// working folder, with the modal dialogs and the error box answered here.

#include "Application.h"
#include "TestDialogs.h"
#include "Unit_Main.h"
#include "Unit_Results.h"
#include "widgets/ClassicButton.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FileOpenEdit.h"
#include "widgets/GroupBox.h"
#include "widgets/PreviewMemo.h"
#include "widgets/RockerSwitch.h"
#include "widgets/ScbCheckBox.h"
#include "widgets/ScbGrid.h"
#include "widgets/SpinEdit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QLabel>
#include <QTest>

#include <deque>
#include <memory>

// A component of the control window, by the name the operator's guide gives
// it.
template <class T>
T *childOf(const TSCBForm &form, const char *name)
{
    T *found = form.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("The control window has no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

class WindowFixture
{
public:
    WindowFixture() : m_oldCwd(QDir::currentPath())
    {
        dialogs = std::make_shared<TestDialogs>();
        Application::errorBoxHook = [this](const Application::ErrorBox &box) {
            errorBoxes << box.text;
            errorDetails << box.detail;
            if (box.wayOut.isEmpty() || wayOuts.empty())
                return false;
            const bool takeIt = wayOuts.front();
            wayOuts.pop_front();
            return takeIt;
        };
    }

    ~WindowFixture()
    {
        results.reset();
        form.reset();
        Application::errorBoxHook = nullptr;
        QDir::setCurrent(m_oldCwd);
    }

    QString dir() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    QByteArray readFile(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Builds both windows in the temporary folder and shows the control
    // window, which runs the start-up sequence.
    void start()
    {
        QDir::setCurrent(m_dir.path());
        form = std::make_unique<TSCBForm>();
        results = std::make_unique<TResultsForm>();
        form->setResultsForm(results.get());
        form->setDialogs(dialogs);
        if (fileSystemGate)
            form->setFileSystemGate(fileSystemGate);
        form->localTime = [] {
            std::tm t{};
            t.tm_hour = 14;
            t.tm_min = 7;
            t.tm_sec = 33;
            return t;
        };
        form->show();
    }

    // Runs one of the control window's handlers by name, as its event
    // would; false when the window has no such handler.
    bool call(const char *handler) const
    {
        return QMetaObject::invokeMethod(form.get(), handler, Qt::DirectConnection);
    }
    // One poll tick, as the timer's would be.
    void tick() const { QVERIFY(call("Timer1Timer")); }
    // One of its components, by object name.
    template <class T>
    T *child(const char *name) const
    {
        return childOf<T>(*form, name);
    }

    ScbGrid *grid() const { return results->scbGrid(); }
    QString row(int r) const { return QString::fromStdString(grid()->cell(r)); }

    std::shared_ptr<TestDialogs> dialogs;
    // Set before start(): every call the windows make to the file system
    // passes it first.
    scb::FileSystemGate fileSystemGate;
    QStringList errorBoxes;
    QStringList errorDetails; // one per box, empty where it has none
    // Answers for boxes that offer a way out; OK when none is left.
    std::deque<bool> wayOuts;
    std::unique_ptr<TSCBForm> form;
    std::unique_ptr<TResultsForm> results;

private:
    QString m_oldCwd;
    QTemporaryDir m_dir;
};

// Window tests need the program's application object for the error model and
// the key preview.
#define SCB_WINDOW_TEST_MAIN(TestClass)                                                                   \
    int main(int argc, char **argv)                                                                       \
    {                                                                                                     \
        Application app(argc, argv);                                                                      \
        TestClass tc;                                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                                        \
        return QTest::qExec(&tc, argc, argv);                                                             \
    }
