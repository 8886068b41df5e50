#!/usr/bin/python3
# What a screen reader hears of the labels of one application: every change of a label's
# accessible name, read back through AT-SPI as Orca reads it (the label's name and description as
# AT-SPI knows them when the change arrives). One JSON line each on standard output, after
# a first {"listening": true} once the listener is registered; runs until killed.
# Usage: /usr/bin/python3 atspi-label-names.py APPLICATION_NAME
# Needs Debian's python3-pyatspi (hence /usr/bin/python3) and an accessibility bus, which the
# session bus of scripts/desktop starts on demand.
import json
import sys

import pyatspi


def main():
    if len(sys.argv) != 2:
        print("usage: atspi-label-names.py APPLICATION_NAME", file=sys.stderr)
        return 2
    application = sys.argv[1]

    def heard(event):
        label = event.source
        try:
            if label.getRole() != pyatspi.ROLE_LABEL:
                return
            if label.getApplication().name != application:
                return
            line = {
                "name": label.name,
                "description": label.description,
                "showing": label.getState().contains(pyatspi.STATE_SHOWING),
            }
        except Exception as error:  # the application ended or did not answer in time
            print("atspi-label-names: %s" % error, file=sys.stderr, flush=True)
            return
        print(json.dumps(line), flush=True)

    # As a screen reader, it follows the descriptions too, which keeps what it knows of them
    # (its cache) up to date; it speaks on a change of name.
    pyatspi.Registry.registerEventListener(lambda event: None,
                                           "object:property-change:accessible-description")
    pyatspi.Registry.registerEventListener(heard, "object:property-change:accessible-name")
    print(json.dumps({"listening": True}), flush=True)
    pyatspi.Registry.start()
    return 0


if __name__ == "__main__":
    sys.exit(main())
