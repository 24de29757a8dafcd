#pragma once
// The notification an editor window posts to the main window about a close request.

#include <QEvent>
#include <QPointer>

enum EditorClosedCode { Closed = 0, SaveRequested = 1, CloseCancelled = 2 };

class EditorClosedEvent : public QEvent {
public:
    static QEvent::Type EventType() {
        static const int type = QEvent::registerEventType();
        return static_cast<QEvent::Type>(type);
    }
    EditorClosedEvent(EditorClosedCode code, QObject* window)
        : QEvent(EventType()), Code(code), Window(window) {}

    EditorClosedCode Code;
    // The window that asked: the save it requests is for its own document.
    QPointer<QObject> Window;
};
