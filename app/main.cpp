// Start-up: creates the parameter window and runs the event loop.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Paramter"));
    window.show();
    return app.exec();
}
