#pragma once
// One page in the browser: a tab of its own, the document given as the crawl fetched it, the
// pictures answered with a placeholder instead of being fetched (and listed), then waits for the
// network to go quiet and scrolls a screen at a time until the page stops growing.

#include <QElapsedTimer>
#include <QSet>
#include <QString>
#include <QStringList>

#include "crawl/PageRenderer.h"
#include "render/BrowserSetup.h"
#include "render/DevTools.h"

class PageVisit {
public:
    PageVisit(DevTools& devTools, const BrowserSetup& setup, const QString& url,
              const QByteArray& body, const QString& contentType);
    PageRenderer::Page run(const PageRenderer::Turn& turn);

private:
    DevTools::Wait open(const PageRenderer::Turn& turn);
    DevTools::Wait settle(const PageRenderer::Turn& turn, QDeadlineTimer deadline);
    DevTools::Wait scroll(const PageRenderer::Turn& turn);
    DevTools::Wait evaluate(const QString& script, const PageRenderer::Turn& turn,
                            QDeadlineTimer deadline, QJsonValue* value);
    void event(const QString& method, const QJsonObject& params);
    void requestPaused(const QJsonObject& params);
    bool quiet() const;
    PageRenderer::Page ended(DevTools::Wait wait);

    DevTools& mDevTools;
    const BrowserSetup& mSetup;
    QString mUrl;
    QByteArray mBody;
    QString mContentType;
    QString mTarget;
    QString mSession;
    bool mDocumentGiven = false;
    bool mLoaded = false;
    bool mCrashed = false;
    QSet<QString> mInFlight;     // request ids
    QElapsedTimer mSinceActive;  // since a request began or ended
    QStringList mPictures;
    QSet<QString> mPictureSet;
};
