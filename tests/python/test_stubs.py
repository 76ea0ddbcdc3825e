"""The .pyi stubs describe the module as built: the same public names, the same parameters."""

import ast
import inspect
import pathlib
import re

import pytest

import vorlith

PACKAGE = pathlib.Path(vorlith.__file__).parent
MODULES = ["__init__", "math", "range", "convert", "predict", "spline", "filter", "fft", "text", "line"]


def stub_of(name):
    return ast.parse((PACKAGE / f"{name}.pyi").read_text())


def stub_names(tree):
    names = set()
    for node in tree.body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            names.add(node.name)
        elif isinstance(node, ast.AnnAssign):
            names.add(node.target.id)
        elif isinstance(node, ast.Assign):
            names.update(t.id for t in node.targets)
        elif isinstance(node, ast.ImportFrom) and node.module is None:
            names.update(a.asname for a in node.names if a.asname == a.name)
    return {n for n in names if not n.startswith("_")}


def stub_parameters(function):
    a = function.args
    names = [p.arg for p in a.posonlyargs + a.args]
    if a.vararg:
        names.append("*" + a.vararg.arg)
    return names + [p.arg for p in a.kwonlyargs]


def runtime_parameters(function):
    try:
        signature = inspect.signature(function)
        return [("*" if p.kind == p.VAR_POSITIONAL else "") + p.name for p in signature.parameters.values()]
    except ValueError:  # compiled: pybind11 writes the signature as the docstring's first line
        first = function.__doc__.splitlines()[0]
        inside = re.sub(r"'[^']*'", "''", first[first.index("(") + 1:first.rindex(") ->")])
        parts = [part.strip() for part in re.split(r",\s*(?![^\[\(]*[\]\)])", inside)]
        return [re.match(r"(\*?\w+)", part).group(1) for part in parts if part and part != "*"]


@pytest.mark.parametrize("name", MODULES)
def test_stubs_match_the_module(name):
    """The same public names, the same parameters, and a docstring for every routine and class."""
    module = vorlith if name == "__init__" else getattr(vorlith, name)
    public = {n for n in dir(module) if not n.startswith("_")} - {"annotations"}
    tree = stub_of(name)
    assert stub_names(tree) == public
    for node in tree.body:
        if isinstance(node, ast.FunctionDef):
            assert stub_parameters(node) == runtime_parameters(getattr(module, node.name)), node.name
    for attribute in public:
        value = getattr(module, attribute)
        if inspect.isroutine(value) or inspect.isclass(value):
            assert (value.__doc__ or "").strip(), f"{name}.{attribute}"


def test_multi_vector_members_match():
    stub = next(n for n in stub_of("__init__").body if isinstance(n, ast.ClassDef) and n.name == "MultiVector")
    declared = {n.name for n in stub.body if isinstance(n, ast.FunctionDef)}
    public = {n for n in dir(vorlith.MultiVector) if not n.startswith("_")} | {"__init__", "__len__", "__array__"}
    assert declared == public
