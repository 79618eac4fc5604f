#include "render/PageVisit.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// A picture of one transparent pixel: lazy loaders see their picture load.
constexpr char kPlaceholderGif[] = "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7";
// Steps of the protocol itself (a tab, a script's answer) that take longer are a hung browser.
constexpr int kStepLimitMs = 5000;

QJsonObject Header(const QString& name, const QString& value) {
    return {{QStringLiteral("name"), name}, {QStringLiteral("value"), value}};
}

QJsonObject Pattern(const char* type) {
    return {{QStringLiteral("urlPattern"), QStringLiteral("*")},
            {QStringLiteral("resourceType"), QString::fromLatin1(type)},
            {QStringLiteral("requestStage"), QStringLiteral("Request")}};
}

}  // namespace

PageVisit::PageVisit(DevTools& devTools, const BrowserSetup& setup, const QString& url,
                     const QByteArray& body, const QString& contentType)
    : mDevTools(devTools), mSetup(setup), mUrl(url), mBody(body), mContentType(contentType) {
    mSinceActive.start();
}

PageRenderer::Page PageVisit::run(const PageRenderer::Turn& turn) {
    mDevTools.onEvent(
        [this](const QString& method, const QJsonObject& params, const QString& session) {
            if (!mSession.isEmpty() && session == mSession) event(method, params);
        });
    DevTools::Wait wait = open(turn);
    if (wait == DevTools::Wait::Done) {
        mDevTools.send(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), mUrl}}, mSession);
        wait = settle(turn, QDeadlineTimer(mSetup.loadLimitMs));
        // a page that never goes quiet is taken as it is at its limit
        if (wait == DevTools::Wait::Done || wait == DevTools::Wait::TimedOut) wait = scroll(turn);
    }
    QJsonValue rendered;
    if (wait == DevTools::Wait::Done || wait == DevTools::Wait::TimedOut) {
        wait = evaluate(QStringLiteral("[document.documentElement.outerHTML, location.href]"), turn,
                        QDeadlineTimer(kStepLimitMs), &rendered);
        if (wait == DevTools::Wait::TimedOut) wait = DevTools::Wait::Done;
    }
    PageRenderer::Page page = ended(wait);
    if (page.outcome == PageRenderer::Outcome::Rendered) {
        const QJsonArray parts = rendered.toArray();
        // a page whose scripts never let go keeps its document as it came
        page.html = parts.size() == 2 ? "<!DOCTYPE html>" + parts[0].toString().toUtf8() : mBody;
        page.url = parts.size() == 2 ? parts[1].toString() : mUrl;
        page.pictures = mPictures;
    }
    mDevTools.onEvent({});
    if (!mTarget.isEmpty())
        mDevTools.send(QStringLiteral("Target.closeTarget"),
                       {{QStringLiteral("targetId"), mTarget}});
    return page;
}

PageRenderer::Page PageVisit::ended(DevTools::Wait wait) {
    PageRenderer::Page page;
    if (wait == DevTools::Wait::Stopped) {
        page.outcome = PageRenderer::Outcome::Stopped;
    } else if (wait == DevTools::Wait::Gone || mCrashed) {
        page.problem = QStringLiteral("ブラウザが途中で終了しました");
    } else if (wait == DevTools::Wait::TimedOut || mTarget.isEmpty()) {
        page.problem = QStringLiteral("ブラウザが応答しません");
    } else {
        page.outcome = PageRenderer::Outcome::Rendered;
    }
    return page;
}

// A tab of its own, its pictures and its document handed to this visit.
DevTools::Wait PageVisit::open(const PageRenderer::Turn& turn) {
    const QDeadlineTimer deadline(kStepLimitMs);
    QJsonObject answer;
    DevTools::Wait wait = mDevTools.call(QStringLiteral("Target.createTarget"),
                                         {{QStringLiteral("url"), QStringLiteral("about:blank")}},
                                         {}, turn, deadline, &answer);
    if (wait != DevTools::Wait::Done) return wait;
    mTarget = answer.value(QStringLiteral("targetId")).toString();
    wait =
        mDevTools.call(QStringLiteral("Target.attachToTarget"),
                       {{QStringLiteral("targetId"), mTarget}, {QStringLiteral("flatten"), true}},
                       {}, turn, deadline, &answer);
    if (wait != DevTools::Wait::Done) return wait;
    mSession = answer.value(QStringLiteral("sessionId")).toString();
    const QJsonObject patterns{
        {QStringLiteral("patterns"), QJsonArray{Pattern("Document"), Pattern("Image")}}};
    for (const auto& [method, params] : {std::pair{QStringLiteral("Fetch.enable"), patterns},
                                         std::pair{QStringLiteral("Network.enable"), QJsonObject{}},
                                         std::pair{QStringLiteral("Page.enable"), QJsonObject{}}}) {
        wait = mDevTools.call(method, params, mSession, turn, deadline);
        if (wait != DevTools::Wait::Done) return wait;
    }
    return mSession.isEmpty() ? DevTools::Wait::Gone : wait;
}

bool PageVisit::quiet() const {
    return mInFlight.isEmpty() && mSinceActive.elapsed() >= mSetup.quietMs;
}

// Until the page loaded and its network is quiet.
DevTools::Wait PageVisit::settle(const PageRenderer::Turn& turn, QDeadlineTimer deadline) {
    const DevTools::Wait wait =
        mDevTools.until([this] { return mCrashed || (mLoaded && quiet()); }, turn, deadline);
    return mCrashed ? DevTools::Wait::Gone : wait;
}

// A screen at a time, each given its quiet, until the end of the page stays where it is.
DevTools::Wait PageVisit::scroll(const PageRenderer::Turn& turn) {
    const QDeadlineTimer deadline(mSetup.scrollLimitMs);
    const QString step = QStringLiteral("window.scrollBy(0, window.innerHeight)");
    const QString atEnd = QStringLiteral(
        "(() => { const e = document.scrollingElement || document.documentElement;"
        " return window.scrollY + window.innerHeight >= e.scrollHeight - 1; })()");
    for (int screen = 0; screen < mSetup.screens; ++screen) {
        QJsonValue end;
        DevTools::Wait wait = evaluate(step, turn, deadline, nullptr);
        mLoaded = true;  // a page that did not finish loading is scrolled all the same
        mSinceActive.restart();
        if (wait == DevTools::Wait::Done) wait = settle(turn, deadline);
        if (wait == DevTools::Wait::Done) wait = evaluate(atEnd, turn, deadline, &end);
        if (wait != DevTools::Wait::Done || end.toBool()) return wait;
    }
    return DevTools::Wait::Done;
}

DevTools::Wait PageVisit::evaluate(const QString& script, const PageRenderer::Turn& turn,
                                   QDeadlineTimer deadline, QJsonValue* value) {
    QJsonObject answer;
    const DevTools::Wait wait = mDevTools.call(
        QStringLiteral("Runtime.evaluate"),
        {{QStringLiteral("expression"), script}, {QStringLiteral("returnByValue"), true}}, mSession,
        turn, deadline, &answer);
    if (value)
        *value = answer.value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
    return mCrashed ? DevTools::Wait::Gone : wait;
}

void PageVisit::event(const QString& method, const QJsonObject& params) {
    const QString id = params.value(QStringLiteral("requestId")).toString();
    if (method == QStringLiteral("Fetch.requestPaused")) {
        requestPaused(params);
        return;
    }
    if (method == QStringLiteral("Network.requestWillBeSent")) {
        mInFlight.insert(id);
    } else if (method == QStringLiteral("Network.loadingFinished") ||
               method == QStringLiteral("Network.loadingFailed")) {
        mInFlight.remove(id);
    } else if (method == QStringLiteral("Page.loadEventFired")) {
        mLoaded = true;
    } else if (method == QStringLiteral("Inspector.targetCrashed") ||
               method == QStringLiteral("Inspector.detached")) {
        mCrashed = true;
    } else {
        return;
    }
    mSinceActive.restart();
}

// The document comes from the crawl's copy and every picture from here: the server is asked
// for neither. Scripts, style sheets and what scripts ask for go through.
void PageVisit::requestPaused(const QJsonObject& params) {
    const QString id = params.value(QStringLiteral("requestId")).toString();
    const QString type = params.value(QStringLiteral("resourceType")).toString();
    const QString url =
        params.value(QStringLiteral("request")).toObject().value(QStringLiteral("url")).toString();
    QJsonObject answer{{QStringLiteral("requestId"), id}};
    QString method = QStringLiteral("Fetch.continueRequest");
    if (type == QStringLiteral("Image")) {
        if ((url.startsWith(QStringLiteral("http:")) || url.startsWith(QStringLiteral("https:"))) &&
            !mPictureSet.contains(url)) {
            mPictureSet.insert(url);
            mPictures.append(url);
        }
        method = QStringLiteral("Fetch.fulfillRequest");
        answer.insert(QStringLiteral("responseCode"), 200);
        answer.insert(
            QStringLiteral("responseHeaders"),
            QJsonArray{Header(QStringLiteral("Content-Type"), QStringLiteral("image/gif"))});
        answer.insert(QStringLiteral("body"), QString::fromLatin1(kPlaceholderGif));
    } else if (type == QStringLiteral("Document") && !std::exchange(mDocumentGiven, true)) {
        method = QStringLiteral("Fetch.fulfillRequest");
        answer.insert(QStringLiteral("responseCode"), 200);
        const QString contentType =
            mContentType.isEmpty() ? QStringLiteral("text/html") : mContentType;
        answer.insert(QStringLiteral("responseHeaders"),
                      QJsonArray{Header(QStringLiteral("Content-Type"), contentType)});
        answer.insert(QStringLiteral("body"), QString::fromLatin1(mBody.toBase64()));
    }
    mDevTools.send(method, answer, mSession);
}
