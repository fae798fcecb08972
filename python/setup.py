# The extension module: the bindings and the C++ host library's own sources
# (../host), compiled with pybind11's helpers.
import glob
import os

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

here = os.path.dirname(os.path.abspath(__file__))
library = os.path.join(os.path.dirname(here), "host")


# BOARDHOST_BUILD_JOBS=N compiles N files at a time.
ParallelCompile("BOARDHOST_BUILD_JOBS", default=2).install()


def sources(directory):
    return sorted(os.path.relpath(p, here) for p in glob.glob(os.path.join(directory, "*.cpp")))


setup(
    ext_modules=[
        Pybind11Extension(
            "boardhost._boardhost",
            sources(os.path.join(here, "src")) + sources(os.path.join(library, "src")),
            include_dirs=[os.path.join(library, "include"), os.path.join(library, "src")],
            cxx_std=17,
        )
    ],
    cmdclass={"build_ext": build_ext},
)
