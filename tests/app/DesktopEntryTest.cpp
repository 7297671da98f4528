// The names keb gives itself agree with what it installs: the desktop entry
// (found by the desktop file name, matched by the window class) and the
// metainfo that launches it. A shell that cannot tie the window to its entry
// shows a generic icon.
#include "app/ApplicationIdentity.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

QString PackagingFile(const QString& Name)
{
    QFile file(QString(KEB_PACKAGING_DIR) + "/" + Name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << Name.toStdString();
    return QString::fromUtf8(file.readAll());
}

// The value of Key in the desktop entry's text, or an empty string.
QString EntryValue(const QString& Entry, const QString& Key)
{
    const auto match =
        QRegularExpression("^" + Key + "=(.*)$", QRegularExpression::MultilineOption).match(Entry);
    return match.captured(1);
}

TEST(DesktopEntryTest, TheWindowIsNamedAfterItsEntry)
{
    NameApplication();
    const QString id = QGuiApplication::desktopFileName();
    const QString entry = PackagingFile(id + ".desktop");
    EXPECT_EQ(EntryValue(entry, "StartupWMClass"), QApplication::applicationName());
    EXPECT_EQ(EntryValue(entry, "Icon"), id);
    EXPECT_EQ(EntryValue(entry, "Exec"), "keb");

    const QString metainfo = PackagingFile(id + ".metainfo.xml");
    EXPECT_TRUE(metainfo.contains("<id>" + id + "</id>"));
    EXPECT_TRUE(
        metainfo.contains("<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"));
}

} // namespace
} // namespace keb::test
