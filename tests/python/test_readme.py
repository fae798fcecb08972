"""The README's Python session, run as printed: its boardsim line starts the
server, its Python lines run as a doctest against it."""

import doctest
import os

from served import SOURCE_DIR, Backplane


def session():
    """The shell lines before the interpreter starts, and the interpreter's part."""
    with open(os.path.join(SOURCE_DIR, "README.md")) as f:
        text = f.read()
    start = text.index("\n    /usr/bin/python3\n")
    end = text.index("\n    >>> exit()\n", start)
    shell = text[text.rindex("\n\n", 0, start):start].splitlines()
    python = [line[4:] for line in text[start:end].splitlines()[2:]]
    return [line.strip() for line in shell if line.strip()], "\n".join(python) + "\n"


def test_the_python_session_works_as_printed():
    shell, python = session()
    (server,) = [line for line in shell if line.startswith("boardsim --listen")]
    words = server.rstrip("& ").split()
    assert words[:3] == ["boardsim", "--listen", "/tmp/bp.sock"]
    served = Backplane(words[3:], speed="1")
    try:
        # A person takes longer than this to start the interpreter.
        served.command("run 300ms")
        text = python.replace("/tmp/bp.sock", served.socket)
        test = doctest.DocTestParser().get_doctest(text, {}, "README", "README.md", 0)
        assert len(test.examples) > 10
        runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
        result = runner.run(test)
        assert result.failed == 0
    finally:
        served.close()

