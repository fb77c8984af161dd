"""A twain control on the virtual scanner, for the tests of what it acquires and saves."""
import os

import lumtwainpro as lt


def open_virtual_twain(folder, config="pages = 3\n"):
    """Points the virtual scanner at `config`, written into `folder`; a control with its UI hidden."""
    conf = os.path.join(folder, "v.conf")
    with open(conf, "w") as f:
        f.write(config)
    os.environ["LUMTWAIN_VIRTUAL"] = conf
    t = lt.twain()
    t.TwainSetHideUI(True)
    return t


def close_twain(t):
    t.TwainCloseSource()
    t.TwainCloseSourceManager()
