#pragma once
// The browser's debugging protocol over its pipes: commands with their ids, answers matched to
// them, events handed on. Everything runs on the caller's thread, in waits that pump the pipes
// a few milliseconds at a time and give the caller's turn between (the window stays serviced).

#include <QDeadlineTimer>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <functional>

#include "render/BrowserProcess.h"

class DevTools {
public:
    using Turn = std::function<bool()>;
    using Event = std::function<void(const QString& method, const QJsonObject& params,
                                     const QString& session)>;
    enum class Wait { Done, Stopped, Gone, TimedOut };

    explicit DevTools(BrowserProcess& process) : mProcess(process) {}

    // Events of every session go to event; set before the commands that cause them.
    void onEvent(Event event) { mEvent = std::move(event); }
    // Sends a command whose answer nobody waits for, to a page's session when session is
    // given; returns its id.
    int send(const QString& method, const QJsonObject& params = {}, const QString& session = {});
    // Handles what comes until done() holds, turn() asks to stop, the browser is gone or the
    // deadline passed. done is asked first.
    Wait until(const std::function<bool()>& done, const Turn& turn, QDeadlineTimer deadline);
    // Sends a command and waits for its answer; its result goes into *result (error: empty,
    // and Done all the same).
    Wait call(const QString& method, const QJsonObject& params, const QString& session,
              const Turn& turn, QDeadlineTimer deadline, QJsonObject* result = nullptr);

private:
    void take(const QByteArray& message);

    BrowserProcess& mProcess;
    Event mEvent;
    int mNextId = 1;
    QSet<int> mAwaited;                // commands whose answers call() waits for
    QHash<int, QJsonObject> mAnswers;  // their results, by id, once they came
};
