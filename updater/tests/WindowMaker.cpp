// Helper program for the launch tests: opens one top-level X11 window that
// carries this process's id, of the window type given as the first argument
// ("normal" or "utility"), writes "mapped" to the file given as the second
// argument once the server has the window, and then waits to be killed. An
// optional third argument is the window's title.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    int screenNumber = 0;
    // A display that has just started may not take connections yet.
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    for (int attempt = 0; xcb_connection_has_error(connection) && attempt < 50; ++attempt) {
        xcb_disconnect(connection);
        ::usleep(100000);
        connection = xcb_connect(nullptr, &screenNumber);
    }
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "gv_fennick_windowmaker: cannot connect to the display\n");
        return 1;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const std::uint32_t pid = static_cast<std::uint32_t>(::getpid());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL,
                        32, 1, &pid);
    const std::string type =
        std::string("_NET_WM_WINDOW_TYPE_") + (std::strcmp(argv[1], "utility") == 0 ? "UTILITY" : "NORMAL");
    const xcb_atom_t typeAtom = atom(connection, type.c_str());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(connection, "_NET_WM_WINDOW_TYPE"),
                        XCB_ATOM_ATOM, 32, 1, &typeAtom);
    if (argc > 3) {
        const std::string title = argv[3];
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(title.size()), title.data());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(connection, "_NET_WM_NAME"),
                            atom(connection, "UTF8_STRING"), 8, static_cast<std::uint32_t>(title.size()),
                            title.data());
    }
    xcb_map_window(connection, window);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    if (FILE *marker = std::fopen(argv[2], "w")) {
        std::fputs("mapped\n", marker);
        std::fclose(marker);
    }
    for (;;)
        ::pause();
}
