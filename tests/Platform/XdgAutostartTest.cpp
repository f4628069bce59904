#include "Platform/session/XdgAutostart.h"

#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
QString readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

TEST(XdgAutostart, writesAndRemovesTheAutostartEntry) {
    QTemporaryDir home;
    XdgAutostart item(home.filePath("config/autostart"), "/opt/Orvell/bin/orvell");
    EXPECT_FALSE(item.isEnabled());
    QString error;
    ASSERT_TRUE(item.setEnabled(true, &error)) << error.toStdString();
    EXPECT_TRUE(item.isEnabled());
    EXPECT_TRUE(item.entryPath().endsWith("config/autostart/org.orvell.Orvell.desktop"));
    const QString entry = readAll(item.entryPath());
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nType=Application\n"));
    EXPECT_TRUE(entry.contains("\nExec=/opt/Orvell/bin/orvell\n"));

    ASSERT_TRUE(item.setEnabled(false, &error));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_FALSE(QFile::exists(item.entryPath()));
    EXPECT_TRUE(item.setEnabled(false, &error)); // already off
}

TEST(XdgAutostart, quotesPathsWithSpacesAndRespectsADisabledEntry) {
    QTemporaryDir home;
    XdgAutostart item(home.path(), "/home/a b/orvell");
    QString error;
    ASSERT_TRUE(item.setEnabled(true, &error));
    EXPECT_TRUE(readAll(item.entryPath()).contains("\nExec=\"/home/a b/orvell\"\n"));

    QFile f(item.entryPath());
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("Hidden=true\n");
    f.close();
    EXPECT_FALSE(item.isEnabled());
}

TEST(XdgAutostart, unwritableFolderFailsWithAReason) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes through folder permissions";
    QTemporaryDir home;
    QFile::setPermissions(home.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    XdgAutostart item(home.filePath("autostart"), "/usr/bin/orvell");
    QString error;
    EXPECT_FALSE(item.setEnabled(true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(item.isEnabled());
    QFile::setPermissions(home.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(XdgAutostart, folderThatIsAFileFailsWithAReason) {
    QTemporaryDir home;
    QFile blocker(home.filePath("autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    XdgAutostart item(home.filePath("autostart"), "/usr/bin/orvell");
    QString error;
    EXPECT_FALSE(item.setEnabled(true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(item.isEnabled());
}
