"""What a screen reader learns of the picture: typing ^1m00 into the attempt's box over
the real AT-SPI bus gives an image "Picture" described as "m00 in red".
Run through atspi-session.sh: atspi-picture.py BIN_DIR."""
import sys

import pyatspi

from atspisession import Session, describe, dump, find, type_text, wait_for

TYPED = "^1m00"
DESCRIPTION = "m00 in red"


def text_of(accessible):
    text = accessible.queryText()
    return text.getText(0, text.characterCount)


def is_text_box(accessible):
    return (accessible.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY) and "Text" in accessible.name
            and accessible.getState().contains(pyatspi.STATE_SHOWING))


def main():
    with Session(sys.argv[1]) as session:
        box = wait_for("the text box", lambda: find(session.app, is_text_box), 10)
        if box is None:
            print("the tree found instead:", file=sys.stderr)
            dump(session.app)
            session.fail("no showing text box named like \"Text\" in the window")
        if not box.getState().contains(pyatspi.STATE_FOCUSED):
            box.queryComponent().grabFocus()
            if not wait_for("focus", lambda: box.getState().contains(pyatspi.STATE_FOCUSED), 5):
                session.fail("the text box %s does not take the focus" % describe(box))
        before = text_of(box)
        if before:
            session.fail("the text box starts with %r, not empty" % before)

        type_text(TYPED)
        typed = wait_for("the typed text", lambda: text_of(box) == TYPED, 10)
        if not typed:
            session.fail("after typing %r the text box reports %r" % (TYPED, text_of(box)))

        def picture():
            return find(session.app, lambda a: a.getRole() == pyatspi.ROLE_IMAGE and a.name == "Picture"
                        and a.description == DESCRIPTION)

        if wait_for("the picture", picture, 10) is None:
            images = [describe(a) for a in [find(session.app, lambda a: a.getRole() == pyatspi.ROLE_IMAGE)] if a]
            print("the tree found instead:", file=sys.stderr)
            dump(session.app)
            session.fail("after typing %r no image \"Picture\" described as \"%s\" (first image: %s)"
                         % (TYPED, DESCRIPTION, images[0] if images else "none"))
        print("ok: %s reports %r; the picture is described as \"%s\"" % (describe(box), TYPED, DESCRIPTION))


if __name__ == "__main__":
    main()
