"""Prints the folder under PREFIX into which `make install` puts the module for the
interpreter that runs this script.

That is the interpreter's own site folder under PREFIX when it has one, so that it
imports the module with no PYTHONPATH: Debian's python3 reads
/usr/local/lib/python3.X/dist-packages, a virtual environment its own site-packages.
When several lie under PREFIX (/usr holds /usr/local), the one nearest to PREFIX wins.
Any other PREFIX gets the folder that the interpreter's scheme for a prefix names,
PREFIX/lib/python3.X/site-packages, which PYTHONPATH must then name.

    python3 site_folder.py PREFIX
"""

import os
import site
import sys
import sysconfig


def below(prefix, folder):
    """The parts of folder below prefix, or None when folder is not under it."""
    relative = os.path.relpath(folder, prefix)
    return None if relative.startswith(os.pardir) else relative.split(os.sep)


def site_folder(prefix):
    prefix = os.path.abspath(prefix)
    own = [f for f in site.getsitepackages() if below(prefix, os.path.abspath(f)) is not None]
    if own:
        return min(own, key=lambda f: len(below(prefix, os.path.abspath(f))))
    return sysconfig.get_path("platlib", "posix_prefix", vars={"base": prefix, "platbase": prefix})


if __name__ == "__main__":
    print(site_folder(sys.argv[1]))
