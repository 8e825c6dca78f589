"""A private X session for end-to-end tests.

Starts Xvfb on a display it picks itself, openbox as the window manager and tint2 as the
notification area, each with HOME and the XDG folders pointed into a temporary folder, so that
nothing of the real user's desktop, settings or files is touched. Waits until the window manager
and the tray selection are owned, and tears everything down by PID, also when a test fails.

    with XSession() as xs:
        subprocess.run(["xdotool", "getmouselocation"], env=xs.env, check=True)
"""

import ctypes
import ctypes.util
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

DEFAULT_SIZE = "1920x1080x24"


class XError(RuntimeError):
    pass


def wait_for(condition, timeout=20.0, what="condition", interval=0.02):
    """Polls condition until it returns a true value; raises after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out waiting for {what}")
        time.sleep(interval)


class _Xlib:
    """The few Xlib calls the harness needs, through ctypes (no extra Python packages)."""

    def __init__(self):
        name = ctypes.util.find_library("X11") or "libX11.so.6"
        x = ctypes.CDLL(name)
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XGetSelectionOwner.restype = ctypes.c_ulong
        x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetWindowProperty.restype = ctypes.c_int
        x.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XGrabPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_uint,
                                   ctypes.c_int, ctypes.c_int, ctypes.c_ulong, ctypes.c_ulong,
                                   ctypes.c_ulong]
        x.XUngrabPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XCreateSimpleWindow.restype = ctypes.c_ulong
        x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                          ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                          ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
        x.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                         ctypes.c_ulong]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x = x


class Display:
    """An open connection to the session's display, for reading its state."""

    _lib = None

    def __init__(self, name):
        if Display._lib is None:
            Display._lib = _Xlib()
        self.x = Display._lib.x
        self.dpy = self.x.XOpenDisplay(name.encode())
        if not self.dpy:
            raise XError(f"cannot open display {name}")

    def close(self):
        if self.dpy:
            self.x.XCloseDisplay(self.dpy)
            self.dpy = None

    def atom(self, name):
        return self.x.XInternAtom(self.dpy, name.encode(), 0)

    def selection_owner(self, name):
        return self.x.XGetSelectionOwner(self.dpy, self.atom(name))

    def root(self):
        return self.x.XDefaultRootWindow(self.dpy)

    def pointer_grabbed(self):
        """Whether another client holds the pointer (our own grab attempt is refused)."""
        rc = self.x.XGrabPointer(self.dpy, self.root(), 0, 0, 1, 1, 0, 0, 0)
        if rc == 0:
            self.x.XUngrabPointer(self.dpy, 0)
            self.x.XSync(self.dpy, 0)
            return False
        return rc == 1  # AlreadyGrabbed

    def grab_pointer(self):
        """Takes the pointer and holds it, as a program with an open drag or menu does."""
        rc = self.x.XGrabPointer(self.dpy, self.root(), 0, 0, 1, 1, 0, 0, 0)
        self.x.XSync(self.dpy, 0)
        return rc == 0

    def ungrab_pointer(self):
        self.x.XUngrabPointer(self.dpy, 0)
        self.x.XSync(self.dpy, 0)

    def own_selection(self, name):
        """Takes ownership of a selection with a window of its own; returns the window."""
        window = self.x.XCreateSimpleWindow(self.dpy, self.root(), 0, 0, 1, 1, 0, 0, 0)
        self.x.XSetSelectionOwner(self.dpy, self.atom(name), window, 0)
        self.x.XSync(self.dpy, 0)
        return window

    def window_property(self, window, name, anytype=0):
        """The property's items as a list of ints (format 32) or bytes (format 8), or None."""
        actual_type = ctypes.c_ulong()
        actual_format = ctypes.c_int()
        nitems = ctypes.c_ulong()
        after = ctypes.c_ulong()
        data = ctypes.c_void_p()
        rc = self.x.XGetWindowProperty(self.dpy, window, self.atom(name), 0, 1 << 20, 0, anytype,
                                       ctypes.byref(actual_type), ctypes.byref(actual_format),
                                       ctypes.byref(nitems), ctypes.byref(after),
                                       ctypes.byref(data))
        if rc != 0 or not data.value:
            return None
        try:
            if actual_format.value == 32:
                arr = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))
                return [arr[i] for i in range(nitems.value)]
            if actual_format.value == 8:
                return ctypes.string_at(data, nitems.value)
            arr = ctypes.cast(data, ctypes.POINTER(ctypes.c_ushort))
            return [arr[i] for i in range(nitems.value)]
        finally:
            self.x.XFree(data)


class XSession:
    def __init__(self, size=DEFAULT_SIZE, window_manager=True, tray=True):
        self.size = size
        self.window_manager = window_manager
        self.tray = tray
        self.tray_proc = None
        self.procs = []
        self.tmp = None
        self.display = None
        self.env = None

    # -- lifecycle ---------------------------------------------------------------------------

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self):
        self.tmp = tempfile.mkdtemp(prefix="orvane-xsession-")
        home = os.path.join(self.tmp, "home")
        runtime = os.path.join(self.tmp, "runtime")
        for d in (home, runtime, os.path.join(home, ".config"), os.path.join(home, ".local/share"),
                  os.path.join(home, ".cache")):
            os.makedirs(d, exist_ok=True)
        os.chmod(runtime, 0o700)

        env = dict(os.environ)
        for var in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
                    "XAUTHORITY", "QT_QPA_PLATFORM"):
            env.pop(var, None)
        env.update({
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local/share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_RUNTIME_DIR": runtime,
            "XDG_SESSION_TYPE": "x11",
            "XDG_CURRENT_DESKTOP": "openbox",
        })

        # Xvfb picks a free display itself and tells us which on a pipe once it is ready.
        read_fd, write_fd = os.pipe()
        xvfb = self._spawn(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", self.size,
                            "-nolisten", "tcp", "+extension", "RANDR"], env, pass_fds=(write_fd,))
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or xvfb.poll() is not None:
                os.close(read_fd)
                raise XError("Xvfb did not start")
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        env["DISPLAY"] = self.display
        self.env = env
        self.dpy = Display(self.display)

        if self.window_manager:
            self._write_openbox_config(env["XDG_CONFIG_HOME"])
            self._spawn(["openbox", "--sm-disable"], env)
            wait_for(self._wm_running, what="the window manager")
        if self.tray:
            self.start_tray()

    def stop(self):
        if getattr(self, "dpy", None):
            self.dpy.close()
            self.dpy = None
        # Reverse order: clients before the server they talk to.
        for proc in reversed(self.procs):
            self._terminate(proc)
        self.procs = []
        if self.tmp:
            shutil.rmtree(self.tmp, ignore_errors=True)
            self.tmp = None

    # -- helpers for tests -------------------------------------------------------------------

    def spawn(self, argv, **kwargs):
        """Starts a program in the session; it is stopped with the session."""
        env = dict(self.env)
        env.update(kwargs.pop("env", {}))
        return self._spawn(argv, env, **kwargs)

    def run(self, argv, **kwargs):
        return subprocess.run(argv, env=self.env, check=True, capture_output=True, text=True,
                              timeout=kwargs.pop("timeout", 30), **kwargs)

    def screenshot(self, path):
        """Writes the whole screen to path (PNG) with ImageMagick's import."""
        subprocess.run(["/usr/bin/import", "-window", "root", path], env=self.env, check=True,
                       timeout=30, capture_output=True)

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def start_tray(self):
        """Starts tint2 (the notification area) and waits until it owns the tray selection."""
        self.tray_proc = self._spawn(["tint2"], self.env)
        wait_for(lambda: self.dpy.selection_owner("_NET_SYSTEM_TRAY_S0"),
                 what="the notification area")

    def stop_tray(self):
        """Stops tint2 and waits until the tray selection has no owner."""
        if self.tray_proc:
            self._terminate(self.tray_proc)
            self.procs.remove(self.tray_proc)
            self.tray_proc = None
        wait_for(lambda: not self.dpy.selection_owner("_NET_SYSTEM_TRAY_S0"),
                 what="the notification area to go")

    def kill_server(self):
        """Kills the X server under its clients, as a crash or a hard logout would. The
        harness's own connection is dropped unused: Xlib would end this process on it."""
        self.dpy = None
        xvfb = self.procs[0]
        xvfb.kill()
        xvfb.wait(timeout=10)

    # -- internals ---------------------------------------------------------------------------

    @staticmethod
    def _write_openbox_config(config_home):
        """The stock configuration without its own screenshot keys: on this desktop Print and
        Alt+Print belong to the capture program, as on a desktop whose user installed one."""
        try:
            with open("/etc/xdg/openbox/rc.xml") as f:
                rc = f.read()
        except OSError:
            return
        rc = re.sub(r'<keybind key="(A-)?Print">.*?</keybind>', "", rc, flags=re.S)
        os.makedirs(os.path.join(config_home, "openbox"), exist_ok=True)
        with open(os.path.join(config_home, "openbox", "rc.xml"), "w") as f:
            f.write(rc)

    def _wm_running(self):
        check = self.dpy.window_property(self.dpy.root(), "_NET_SUPPORTING_WM_CHECK")
        return bool(check)

    def _spawn(self, argv, env, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        proc = subprocess.Popen(argv, env=env, start_new_session=True, **kwargs)
        self.procs.append(proc)
        return proc

    @staticmethod
    def _terminate(proc):
        if proc.poll() is not None:
            return
        try:
            os.killpg(proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            return
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.wait(timeout=5)
