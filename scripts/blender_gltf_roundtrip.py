# Run inside Blender by scripts/blender-gltf-roundtrip:
#   blender -b --factory-startup --python-exit-code 1 \
#     --python scripts/blender_gltf_roundtrip.py -- IN.glb OUT.glb
# Imports IN with Blender's glTF add-on into an empty scene and exports it
# to OUT as .glb, keeping shape keys and their animation, every action as
# its own glTF animation, the node tree, materials with their images,
# custom properties (extras) and material variants.
import os
import sys

import bpy
import numpy

# The add-on of Blender 3.4 uses np.bool, which NumPy 1.24 removed (Debian
# bookworm ships both): the import stops with "module 'numpy' has no
# attribute 'bool'" on the first mesh. Restore the alias to the builtin.
if "bool" not in numpy.__dict__:
    numpy.bool = bool


def fail(message):
    print("blender_gltf_roundtrip: " + message, file=sys.stderr)
    sys.exit(1)


args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
if len(args) != 2:
    fail("usage: blender ... --python blender_gltf_roundtrip.py -- IN.glb OUT.glb")
source, target = args

bpy.ops.wm.read_factory_settings(use_empty=True)

# Material variants are read and written only while the add-on shows their
# panel (a preference, not an export option, in this version).
prefs = bpy.context.preferences.addons["io_scene_gltf2"].preferences
if hasattr(prefs, "KHR_materials_variants_ui"):
    prefs.KHR_materials_variants_ui = True

try:
    result = bpy.ops.import_scene.gltf(filepath=source)
except Exception as error:  # the add-on reports its failures as exceptions
    fail("import of %s failed: %s" % (source, error))
if result != {"FINISHED"}:
    fail("import of %s failed: %s" % (source, result))

# Only options this version of the add-on has: the operator rejects others.
options = dict(
    filepath=target,
    export_format="GLB",
    export_extras=True,
    export_yup=True,
    export_apply=False,          # applying modifiers would drop shape keys
    export_materials="EXPORT",
    export_image_format="AUTO",
    export_morph=True,
    export_morph_normal=True,
    export_animations=True,
    export_nla_strips=True,      # one glTF animation per NLA track name
    # On (the add-on's default), every animation is resampled at each whole
    # frame of the scene (24 per second); BLENDER_GLTF_ALWAYS_SAMPLE=0 keeps
    # the imported keys and their times instead.
    export_force_sampling=os.environ.get("BLENDER_GLTF_ALWAYS_SAMPLE", "1") != "0",
)
known = bpy.ops.export_scene.gltf.get_rna_type().properties.keys()
options = {k: v for k, v in options.items() if k in known}
try:
    result = bpy.ops.export_scene.gltf(**options)
except Exception as error:
    fail("export to %s failed: %s" % (target, error))
if result != {"FINISHED"}:
    fail("export to %s failed: %s" % (target, result))
