#include "render/DevTools.h"

#include <QJsonDocument>

namespace {

// The longest one wait on the pipes lasts before the caller's turn comes again.
constexpr int kTurnMs = 10;

}  // namespace

int DevTools::send(const QString& method, const QJsonObject& params, const QString& session) {
    QJsonObject message{{QStringLiteral("id"), mNextId},
                        {QStringLiteral("method"), method},
                        {QStringLiteral("params"), params}};
    if (!session.isEmpty()) message.insert(QStringLiteral("sessionId"), session);
    mProcess.send(QJsonDocument(message).toJson(QJsonDocument::Compact));
    return mNextId++;
}

DevTools::Wait DevTools::until(const std::function<bool()>& done, const Turn& turn,
                               QDeadlineTimer deadline) {
    QList<QByteArray> received;
    for (;;) {
        if (done()) return Wait::Done;
        if (deadline.hasExpired()) return Wait::TimedOut;
        const int waitMs = int(qMin<qint64>(kTurnMs, deadline.remainingTime()));
        received.clear();
        const bool alive = mProcess.pump(qMax(waitMs, 0), &received);
        for (const QByteArray& message : received) take(message);
        if (!alive) return done() ? Wait::Done : Wait::Gone;
        if (!turn()) return Wait::Stopped;
    }
}

DevTools::Wait DevTools::call(const QString& method, const QJsonObject& params,
                              const QString& session, const Turn& turn, QDeadlineTimer deadline,
                              QJsonObject* result) {
    const int id = send(method, params, session);
    mAwaited.insert(id);
    const Wait wait = until([this, id] { return mAnswers.contains(id); }, turn, deadline);
    mAwaited.remove(id);
    const QJsonObject answer = mAnswers.take(id);
    if (result) *result = answer;
    return wait;
}

void DevTools::take(const QByteArray& message) {
    const QJsonObject object = QJsonDocument::fromJson(message).object();
    const QJsonValue id = object.value(QStringLiteral("id"));
    if (!id.isUndefined()) {
        if (mAwaited.contains(id.toInt()))
            mAnswers.insert(id.toInt(), object.value(QStringLiteral("result")).toObject());
        return;
    }
    if (mEvent)
        mEvent(object.value(QStringLiteral("method")).toString(),
               object.value(QStringLiteral("params")).toObject(),
               object.value(QStringLiteral("sessionId")).toString());
}
