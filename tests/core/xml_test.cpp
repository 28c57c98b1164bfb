#include "core/errors.h"
#include "core/xmlutils.h"
#include "tests/support/printers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QDomDocument Parse(const QString &Text) {
    QDomDocument document;
    EXPECT_TRUE(document.setContent(Text));
    return document;
}

const QString Sample =
    QStringLiteral("<Root><Int>42</Int><Neg>-7</Neg><Bad>x</Bad><Big>3000000000</Big>"
                   "<One>1</One><True>true</True><Zero>0</Zero><Empty/>"
                   "<Text>Иванов И.И.</Text><int>5</int></Root>");

TEST(XmlRead, IntFallsBackToTheDefaultForAnyProblem) {
    const QDomElement root = Parse(Sample).documentElement();
    EXPECT_EQ(XmlReadInt(root, QStringLiteral("Int"), 9), 42);
    EXPECT_EQ(XmlReadInt(root, QStringLiteral("Neg"), 9), -7);
    EXPECT_EQ(XmlReadInt(root, QStringLiteral("Bad"), 9), 9);
    EXPECT_EQ(XmlReadInt(root, QStringLiteral("Big"), 9), 9);
    EXPECT_EQ(XmlReadInt(root, QStringLiteral("Empty"), 9), 9);
    EXPECT_EQ(XmlReadInt(root, QStringLiteral("Missing"), 9), 9);
    EXPECT_EQ(XmlReadInt(QDomNode(), QStringLiteral("Int"), 9), 9);
    // Names are compared case-sensitively: "int" is another element.
    EXPECT_EQ(XmlReadInt(root, QStringLiteral("INT"), 9), 9);
    EXPECT_EQ(XmlReadInt(root, QStringLiteral("int"), 9), 5);
}

TEST(XmlRead, BoolIsTrueOnlyForOne) {
    const QDomElement root = Parse(Sample).documentElement();
    EXPECT_TRUE(XmlReadBool(root, QStringLiteral("One"), false));
    EXPECT_FALSE(XmlReadBool(root, QStringLiteral("True"), true));
    EXPECT_FALSE(XmlReadBool(root, QStringLiteral("Zero"), true));
    EXPECT_FALSE(XmlReadBool(root, QStringLiteral("Empty"), true));
    EXPECT_TRUE(XmlReadBool(root, QStringLiteral("Missing"), true));
    EXPECT_TRUE(XmlReadBool(QDomNode(), QStringLiteral("One"), true));
}

TEST(XmlRead, StringAndAttribute) {
    const QDomDocument document = Parse(QStringLiteral("<Root a=\"1\"><Text>Иванов И.И.</Text>"
                                                       "<Empty/></Root>"));
    const QDomElement root = document.documentElement();
    EXPECT_EQ(XmlReadString(root, QStringLiteral("Text"), QStringLiteral("d")),
              QStringLiteral("Иванов И.И."));
    EXPECT_EQ(XmlReadString(root, QStringLiteral("Empty"), QStringLiteral("d")), QString());
    EXPECT_EQ(XmlReadString(root, QStringLiteral("Missing"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(XmlReadString(QDomNode(), QStringLiteral("Text"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(XmlReadAttribute(root, QStringLiteral("a")), QStringLiteral("1"));
    EXPECT_EQ(XmlReadAttribute(root, QStringLiteral("b")), QString());
    EXPECT_EQ(XmlFindDocChild(document, QStringLiteral("Root")), root);
    EXPECT_TRUE(XmlFindDocChild(document, QStringLiteral("Text")).isNull());
}

TEST(XmlCheck, MessagesOfAbsentNodes) {
    const auto messageOf = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const Exception &e) {
            return e.Message();
        }
        return QStringLiteral("no error");
    };
    EXPECT_EQ(messageOf([] { XmlCheckNode(QDomNode()); }),
              QStringLiteral("XML node does not exist"));
    EXPECT_EQ(messageOf([] { XmlCheckNodeFound(QDomNode()); }),
              QStringLiteral("XML узел не найден"));
    EXPECT_EQ(messageOf([] { XmlCheckNodeFound(QDomNode(), QStringLiteral("Tasks")); }),
              QStringLiteral("XML узел \"Tasks\" не найден"));
    EXPECT_EQ(messageOf([] { XmlReadAttribute(QDomNode(), QStringLiteral("ModelID")); }),
              QStringLiteral("XML узел не найден"));
    const QDomDocument document = Parse(QStringLiteral("<Root/>"));
    EXPECT_EQ(messageOf([&] { XmlCheckNodeFound(document.documentElement()); }),
              QStringLiteral("no error"));
}

TEST(XmlWrite, SetsTheFirstOfTwoNamesakesOrAppends) {
    QDomDocument document = Parse(QStringLiteral("<Root><V>a</V><W>w</W><V>b</V></Root>"));
    QDomElement root = document.documentElement();
    XmlWriteValue(root, QStringLiteral("V"), QStringLiteral("c"));
    XmlWriteValue(root, QStringLiteral("New"), QStringLiteral("n"));
    XmlWriteValue(root, QStringLiteral("W"), QString());
    EXPECT_EQ(document.toString(-1),
              QStringLiteral("<Root><V>c</V><W/><V>b</V><New>n</New></Root>"));
}

TEST(XmlFile, WritesADeclaredIndentedUtf8FileAndReadsItBack) {
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("a.xml"));
    QDomDocument document = XmlNewDocument();
    QDomElement root =
        document.appendChild(document.createElement(QStringLiteral("Params"))).toElement();
    XmlWriteValue(root, QStringLiteral("UserName"), QStringLiteral("Пётр"));
    XmlSaveDocument(document, fileName);

    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Params>\n"
                             "  <UserName>Пётр</UserName>\n</Params>\n"));
    EXPECT_EQ(XmlReadString(XmlFindDocChild(XmlLoadDocument(fileName), QStringLiteral("Params")),
                            QStringLiteral("UserName"), QString()),
              QStringLiteral("Пётр"));
}

TEST(XmlFile, LoadErrorsNameTheFile) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.xml"));
    const QString broken = dir.filePath(QStringLiteral("broken.xml"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<Params><UserName>");
    file.close();
    for (const QString &name : {missing, broken}) {
        try {
            XmlLoadDocument(name);
            ADD_FAILURE() << name.toStdString();
        } catch (const Exception &e) {
            EXPECT_TRUE(e.Message().contains(name)) << e.Message().toStdString();
        }
    }
}

} // namespace
