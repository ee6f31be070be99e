#include "platform/MessageBox.h"

#include <gtk/gtk.h>

#include <cstdio>

#include "platform/MainLoop.h"
#include "platform/TextCodec.h"

namespace platform {
namespace {

bool HasDisplay() {
    return gdk_display_get_default() != nullptr;
}

int ShowGtkMessageBox(const std::u16string& text, const std::u16string& caption, unsigned type) {
    const GtkMessageType kind =
        (type & 0xF0) == MB_ICONEXCLAMATION ? GTK_MESSAGE_WARNING : GTK_MESSAGE_OTHER;
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, kind, GTK_BUTTONS_OK,
                                               "%s", WideToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), WideToUtf8(caption).c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);

    bool answered = false;
    const gulong handler = g_signal_connect_swapped(
        dialog, "response", G_CALLBACK(+[](bool* flag) { *flag = true; }), &answered);
    gtk_widget_show_all(dialog);
    RunLoopUntil([&] { return answered; });
    g_signal_handler_disconnect(dialog, handler);
    gtk_widget_destroy(dialog);
    return IDOK;
}

int PresentByDefault(CWnd*, const std::u16string& text, const std::u16string& caption,
                     unsigned type) {
    if (HasDisplay()) return ShowGtkMessageBox(text, caption, type);
    std::fprintf(stderr, "%s: %s\n", WideToUtf8(caption).c_str(), WideToUtf8(text).c_str());
    return IDOK;
}

MessageBoxPresenter& Presenter() {
    static MessageBoxPresenter presenter = PresentByDefault;
    return presenter;
}

}  // namespace

void SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    Presenter() = presenter ? std::move(presenter) : MessageBoxPresenter(PresentByDefault);
}

int MessageBoxW(CWnd* owner, const std::u16string& text, const std::u16string& caption,
                unsigned type) {
    if (IsQuitPending()) return IDOK;
    return Presenter()(owner, text, caption, type);
}

}  // namespace platform
