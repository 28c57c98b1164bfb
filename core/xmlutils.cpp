#include "core/xmlutils.h"

#include "core/errors.h"

#include <QFile>
#include <QSaveFile>

namespace {

constexpr int IndentSpaces = 2;

} // namespace

void XmlCheckNode(const QDomNode &Node) {
    if (Node.isNull())
        throw Exception(QStringLiteral("XML node does not exist"));
}

void XmlCheckNodeFound(const QDomNode &Node, const QString &Name) {
    if (!Node.isNull())
        return;
    if (Name.isEmpty())
        throw Exception(QStringLiteral("XML узел не найден"));
    throw Exception(QStringLiteral("XML узел \"%1\" не найден").arg(Name));
}

QDomElement XmlFindChild(const QDomNode &Node, const QString &Name) {
    if (Node.isNull())
        return {};
    return Node.firstChildElement(Name);
}

QDomElement XmlFindDocChild(const QDomDocument &Document, const QString &Name) {
    return Document.firstChildElement(Name);
}

QString XmlReadAttribute(const QDomNode &Node, const QString &Name) {
    XmlCheckNodeFound(Node);
    return Node.toElement().attribute(Name);
}

int XmlReadInt(const QDomNode &Node, const QString &Name, int Default) {
    const QDomElement child = XmlFindChild(Node, Name);
    if (child.isNull())
        return Default;
    bool ok = false;
    const int value = child.text().toInt(&ok, 10);
    return ok ? value : Default;
}

QString XmlReadString(const QDomNode &Node, const QString &Name, const QString &Default) {
    const QDomElement child = XmlFindChild(Node, Name);
    return child.isNull() ? Default : child.text();
}

bool XmlReadBool(const QDomNode &Node, const QString &Name, bool Default) {
    const QDomElement child = XmlFindChild(Node, Name);
    if (child.isNull())
        return Default;
    return child.text() == QLatin1String("1");
}

void XmlWriteValue(QDomNode Node, const QString &Name, const QString &Text) {
    XmlCheckNode(Node);
    QDomElement child = XmlFindChild(Node, Name);
    if (child.isNull())
        child = Node.appendChild(Node.ownerDocument().createElement(Name)).toElement();
    while (child.hasChildNodes())
        child.removeChild(child.firstChild());
    if (!Text.isEmpty())
        child.appendChild(Node.ownerDocument().createTextNode(Text));
}

QDomDocument XmlNewDocument() {
    QDomDocument document;
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    return document;
}

QDomDocument XmlLoadDocument(const QString &FileName) {
    QFile file(FileName);
    if (!file.exists())
        throw Exception(QStringLiteral("Файл \"%1\" не найден").arg(FileName));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(FileName, file.errorString()));
    QDomDocument document;
    QString error;
    int line = 0;
    int column = 0;
    if (!document.setContent(&file, &error, &line, &column))
        throw Exception(QStringLiteral("Ошибка XML в файле \"%1\" (строка %2, позиция %3): %4")
                            .arg(FileName)
                            .arg(line)
                            .arg(column)
                            .arg(error));
    return document;
}

void XmlSaveDocument(const QDomDocument &Document, const QString &FileName) {
    QSaveFile file(FileName);
    const QByteArray bytes = Document.toByteArray(IndentSpaces);
    // Unbuffered, so that a short write (a full disk) shows here: a buffered flush at commit
    // can lose it and rename a truncated file over the old one.
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                         file.write(bytes) == bytes.size() && file.commit();
    if (!written)
        throw Exception(QStringLiteral("Не удалось записать файл \"%1\": %2")
                            .arg(FileName, file.errorString()));
}
