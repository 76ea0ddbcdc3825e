# Sphinx configuration of the documentation site. `make docs` (the CMake target `docs`)
# runs Doxygen first and passes its XML folder in VORLITH_DOXYGEN_XML; the Python
# reference imports the package that the build lays out in build/python.
import os

project = "Vorlith integration library"
author = "The Vorlith developers"
copyright = "The Vorlith developers, MIT licence"
version = release = os.environ.get("VORLITH_VERSION", "")

extensions = [
    "sphinx.ext.autodoc",
    "breathe",
    "matplotlib.sphinxext.plot_directive",
]

exclude_patterns = ["_build"]
html_theme = "alabaster"
html_theme_options = {"page_width": "1100px", "sidebar_width": "240px"}
html_static_path = []

# The C++ reference, read from Doxygen's XML.
breathe_projects = {"vorlith": os.environ.get("VORLITH_DOXYGEN_XML", "")}
breathe_default_project = "vorlith"
breathe_default_members = ("members",)
primary_domain = "cpp"
highlight_language = "none"

# The Python reference: signatures from the compiled module's docstrings.
autodoc_member_order = "bysource"
autodoc_typehints = "signature"

# Figures: drawn at build time by the scripts in plots/, next to the page that shows them.
plot_include_source = False
plot_html_show_source_link = False
plot_html_show_formats = False
plot_formats = [("png", 100)]
plot_rcparams = {"figure.figsize": (7.0, 3.0), "figure.autolayout": True, "font.size": 9}


# pybind11 signatures name every argument type "handle"; the package's stubs (.pyi) hold
# the real ones, so the reference shows those.
def _stub_signatures():
    import ast
    import pathlib

    import vorlith

    signatures = {}

    def collect(prefix, body):
        for node in body:
            if isinstance(node, ast.ClassDef):
                collect(f"{prefix}.{node.name}", node.body)
            elif isinstance(node, ast.FunctionDef):
                args = node.args
                if args.args and args.args[0].arg == "self":
                    args.args = args.args[1:]
                returns = ast.unparse(node.returns) if node.returns else None
                signature = (f"({ast.unparse(args)})", returns)
                signatures[f"{prefix}.{node.name}"] = signature
                if node.name == "__init__":  # the class's own signature
                    signatures[prefix] = (signature[0], None)

    for stub in pathlib.Path(vorlith.__file__).parent.glob("*.pyi"):
        module = "vorlith" if stub.stem == "__init__" else f"vorlith.{stub.stem}"
        collect(module, ast.parse(stub.read_text()).body)
    return signatures


def setup(app):
    signatures = _stub_signatures()

    def from_stub(app, what, name, obj, options, signature, return_annotation):
        return signatures.get(name, (signature, return_annotation))

    app.connect("autodoc-process-signature", from_stub)
