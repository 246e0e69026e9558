// Shows the message box a test expects to see, so that the test can compare
// the program's box with it pixel for pixel: TITLE, TEXT, an OK button only,
// no icon, in the Fusion style the program uses. Ends when the box is closed.
// Usage: message_box_reference TITLE TEXT
#include <QApplication>
#include <QMessageBox>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: message_box_reference TITLE TEXT\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(argv[1]), QString::fromUtf8(argv[2]),
                    QMessageBox::Ok);
    box.exec();
    return 0;
}
