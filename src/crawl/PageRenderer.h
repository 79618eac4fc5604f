#pragma once
// A page as a visitor's browser shows it once its scripts ran: for galleries whose pictures and
// links are made by scripts. The crawl sees nothing of the browser or of how it is driven.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class PageRenderer {
public:
    // Runs every few milliseconds while a page renders; false stops the render at once.
    using Turn = std::function<bool()>;
    enum class Outcome {
        Rendered,  // the document and pictures below are the page's
        Stopped,   // turn asked to stop
        Failed,    // the browser could not be started, or it ended: see problem
    };
    struct Page {
        Outcome outcome = Outcome::Failed;
        QByteArray html;       // the document as rendered, UTF-8
        QString url;           // its address then: a script may have gone on to another
        QStringList pictures;  // every picture the page asked for, in order, each once
        QString problem;       // of a failure, in the user's terms
    };

    virtual ~PageRenderer() = default;
    // Renders url, whose document is body as fetched (answered as contentType): the browser
    // is given that body instead of asking the server again. Pictures are not fetched.
    virtual Page render(const QString& url, const QByteArray& body, const QString& contentType,
                        const Turn& turn) = 0;
};
