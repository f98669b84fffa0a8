// Renders the program's artwork from the SVG sources listed in artwork.txt.
//
// Each line of artwork.txt names an output file, its SVG source, the size in pixels and
// optional parameters:
//
//     NAV1001U.bmp  nav.svg  138 30  label="General" state=normal glyph=general
//
// A parameter key=value replaces "{{key}}" in the source by the value, and "{{key:value}}"
// by "inline"; every other "{{key:...}}" becomes "none". Templates use the second form in
// display attributes to pick a state or a glyph. A .bmp is drawn over the colour of the
// parameter bg (default white) because bitmaps carry no transparency; a .png keeps it.
//
// Usage: umbravia_artwork SOURCE_FOLDER OUTPUT_FOLDER

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Job {
    QString output;
    QString source;
    int width = 0;
    int height = 0;
    std::map<QString, QString> params;
};

// Splits a line into words; double quotes group blanks into a word.
std::vector<QString> splitWords(const QString& line)
{
    std::vector<QString> words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (QChar c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c.isSpace() && !quoted) {
            if (inWord) {
                words.push_back(word);
            }
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

bool parseManifest(const QString& path, std::vector<Job>& jobs)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    int lineNumber = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        const std::vector<QString> words = splitWords(line);
        Job job;
        bool sizeOk = words.size() >= 4;
        if (sizeOk) {
            bool w = false;
            bool h = false;
            job.output = words[0];
            job.source = words[1];
            job.width = words[2].toInt(&w);
            job.height = words[3].toInt(&h);
            sizeOk = w && h && job.width > 0 && job.height > 0;
        }
        if (!sizeOk) {
            std::fprintf(stderr, "%s:%d: expected OUTPUT SOURCE WIDTH HEIGHT\n", qPrintable(path),
                         lineNumber);
            return false;
        }
        for (std::size_t i = 4; i < words.size(); ++i) {
            const qsizetype eq = words[i].indexOf('=');
            if (eq <= 0) {
                std::fprintf(stderr, "%s:%d: expected key=value\n", qPrintable(path), lineNumber);
                return false;
            }
            job.params[words[i].left(eq)] = words[i].mid(eq + 1);
        }
        jobs.push_back(job);
    }
    return true;
}

QString expand(QString svg, const std::map<QString, QString>& params)
{
    for (const auto& [key, value] : params) {
        svg.replace("{{" + key + "}}", value.toHtmlEscaped());
        svg.replace("{{" + key + ":" + value + "}}", "inline");
    }
    static const QRegularExpression choice("\\{\\{[A-Za-z0-9_]+:[^}]*\\}\\}");
    svg.replace(choice, "none");
    static const QRegularExpression leftover("\\{\\{[A-Za-z0-9_]+\\}\\}");
    if (svg.contains(leftover)) {
        svg.clear(); // a parameter the manifest forgot: refuse rather than draw a wrong picture
    }
    return svg;
}

bool render(const Job& job, const QDir& sourceDir, const QDir& outputDir)
{
    QFile file(sourceDir.filePath(job.source));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
        return false;
    }
    const QString svg = expand(QString::fromUtf8(file.readAll()), job.params);
    QSvgRenderer renderer(svg.toUtf8());
    if (svg.isEmpty() || !renderer.isValid()) {
        std::fprintf(stderr, "%s: invalid SVG or missing parameter for %s\n",
                     qPrintable(job.source), qPrintable(job.output));
        return false;
    }
    const bool bitmap = job.output.endsWith(".bmp", Qt::CaseInsensitive);
    QImage image(job.width, job.height, QImage::Format_ARGB32_Premultiplied);
    const auto bg = job.params.find("bg");
    image.fill(bitmap ? QColor(bg == job.params.end() ? QString("#ffffff") : bg->second)
                      : QColor(Qt::transparent));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        renderer.render(&painter, QRectF(0, 0, job.width, job.height));
    }
    if (bitmap) {
        image = image.convertToFormat(QImage::Format_RGB888);
    }
    const QString target = outputDir.filePath(job.output);
    // An output may lie in a folder of its own (the icon theme's size folders).
    if (!QFileInfo(target).dir().mkpath(".") || !image.save(target)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(target));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv); // text in the SVGs needs the font database
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE_FOLDER OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir sourceDir(QString::fromLocal8Bit(argv[1]));
    QDir outputDir(QString::fromLocal8Bit(argv[2]));
    if (!outputDir.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", argv[2]);
        return 1;
    }
    std::vector<Job> jobs;
    if (!parseManifest(sourceDir.filePath("artwork.txt"), jobs)) {
        return 1;
    }
    int failures = 0;
    for (const Job& job : jobs) {
        failures += render(job, sourceDir, outputDir) ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}
