// The about boxes' links: the guide falls back to README.md of the folder,
// then to the folder; a configured address wins; a link label escapes its
// text and address and hands a click to its opener.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/aboutlinks.hpp"
#include "vek/testsupport/files.hpp"

#include <gtest/gtest.h>

#include <QLabel>

#include <vector>

using vek::about::documentationLinks;

TEST(AboutLinks, GuideIsTheReadmeOrTheFolderAndAddressesWin) {
    vek::testsupport::ScratchDir s("vek-aboutlinks");
    const QString docs = QString::fromStdString(s.path().string());
    auto l = documentationLinks(docs, {}, {});
    EXPECT_EQ(l.guide, QUrl::fromLocalFile(docs));
    EXPECT_EQ(l.folder, QUrl::fromLocalFile(docs));
    ASSERT_TRUE(vek::testsupport::writeFile(s / "README.md", {'#', '\n'}));
    l = documentationLinks(docs, {}, {});
    EXPECT_EQ(l.guide, QUrl::fromLocalFile(docs + "/README.md"));
    EXPECT_EQ(l.folder, QUrl::fromLocalFile(docs));
    l = documentationLinks(docs, "https://example.org/guide", "https://example.org/docs/");
    EXPECT_EQ(l.guide, QUrl("https://example.org/guide"));
    EXPECT_EQ(l.folder, QUrl("https://example.org/docs/"));
}

TEST(AboutLinks, LabelEscapesItsTextAndHandsTheClickOn) {
    QLabel label(QStringLiteral("Guide <&> \"here\""));
    std::vector<QUrl> opened;
    const QUrl url("https://example.org/a?b=1&c=\"2\"");
    vek::about::makeLinkLabel(&label, url, [&](const QUrl& u) { opened.push_back(u); });
    EXPECT_EQ(label.textFormat(), Qt::RichText);
    EXPECT_TRUE(label.text().contains("Guide &lt;&amp;&gt; &quot;here&quot;</a>")) << label.text().toStdString();
    EXPECT_TRUE(label.text().contains("href=\"" + url.toString().toHtmlEscaped() + "\""));
    EXPECT_FALSE(label.text().contains("c=\"2\""));
    EXPECT_EQ(label.toolTip(), url.toString());
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
    emit label.linkActivated(url.toString());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], url);
}
