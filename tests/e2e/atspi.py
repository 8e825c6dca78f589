"""Reading what the program's windows show through the accessibility bus, as a screen reader
does: a private session bus for the program, its accessibility bus, and the names of the
accessible objects in the program's tree."""

import subprocess

import dbus

from xsession import wait_for

ACCESSIBLE = "org.a11y.atspi.Accessible"


def start_session_bus(xs):
    """Starts a session bus for the X session and points xs.env at it; the program started
    afterwards serves its accessibility tree there."""
    proc = xs.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                    stdout=subprocess.PIPE, text=True)
    address = proc.stdout.readline().strip()
    xs.env["DBUS_SESSION_BUS_ADDRESS"] = address
    xs.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    return address


class Reader:
    def __init__(self, session_address):
        session = dbus.bus.BusConnection(session_address)
        bus = session.get_object("org.a11y.Bus", "/org/a11y/bus")
        a11y = dbus.Interface(bus, "org.a11y.Bus").GetAddress()
        self.bus = dbus.bus.BusConnection(str(a11y))

    def _children(self, name, path):
        obj = self.bus.get_object(name, path, introspect=False)
        return dbus.Interface(obj, ACCESSIBLE).GetChildren(timeout=5)

    def _name(self, name, path):
        obj = self.bus.get_object(name, path, introspect=False)
        return str(dbus.Interface(obj, dbus.PROPERTIES_IFACE).Get(ACCESSIBLE, "Name", timeout=5))

    def names(self, limit=3000):
        """Every accessible name in every application's tree."""
        found = []
        stack = [(str(n), str(p)) for n, p in
                 self._children("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")]
        seen = set()
        while stack and len(seen) < limit:
            item = stack.pop()
            if item in seen:
                continue
            seen.add(item)
            try:
                found.append(self._name(*item))
                stack.extend((str(n), str(p)) for n, p in self._children(*item))
            except dbus.DBusException:
                continue
        return found

    def find(self, prefix):
        """The first accessible name that starts with prefix, or None."""
        return next((n for n in self.names() if n.startswith(prefix)), None)


def read_text(reader, prefix, what):
    return wait_for(lambda: reader.find(prefix), what=what)



COMPONENT = "org.a11y.atspi.Component"


def walk(reader, visit):
    """Calls visit(item) on the accessible objects of the desktop, depth first, until it returns
    something other than None, and returns that (None when it never does). Objects that vanish
    while being read are skipped."""
    stack = [(str(n), str(p)) for n, p in reader._children(
        "org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")]
    seen = set()
    while stack and len(seen) < 5000:
        item = stack.pop()
        if item in seen:
            continue
        seen.add(item)
        try:
            result = visit(item)
            if result is not None:
                return result
            stack.extend((str(n), str(p)) for n, p in reader._children(*item))
        except dbus.DBusException:
            continue
    return None


def extents(reader, item):
    """(x, y, width, height) of an accessible object on the screen."""
    obj = reader.bus.get_object(item[0], item[1], introspect=False)
    x, y, w, h = dbus.Interface(obj, COMPONENT).GetExtents(dbus.UInt32(0), timeout=5)
    return int(x), int(y), int(w), int(h)


def find_centres(reader, name):
    """The screen points at the centres of the accessible objects named exactly name, where a
    person would click them. Objects out of sight may report where they were last shown."""
    found = []

    def visit(item):
        if reader._name(*item) == name:
            x, y, w, h = extents(reader, item)
            if w > 0 and h > 0 and x >= 0 and y >= 0:
                found.append((x + w // 2, y + h // 2))

    walk(reader, visit)
    return found


def find_centre(reader, name):
    """The first of find_centres, or None."""
    found = find_centres(reader, name)
    return found[0] if found else None


def centre(reader, name, what=None):
    """Waits for find_centre to find the object."""
    return wait_for(lambda: find_centre(reader, name), what=what or name)
