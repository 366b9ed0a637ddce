// Validates glTF files with the Khronos glTF validator (npm gltf-validator).
//   node validate.js MODULES_DIR FILE.glb|FILE.gltf ...
// Prints every error and warning (infos and hints are not counted) and exits
// 1 when a file has any.
'use strict';
const fs = require('fs');
const path = require('path');
const [modules, ...files] = process.argv.slice(2);
const validator = require(path.join(modules, 'gltf-validator'));

(async () => {
  let failed = false;
  for (const file of files) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
      uri: path.basename(file),
      maxIssues: 0,
      externalResourceFunction: (uri) =>
        Promise.resolve(new Uint8Array(fs.readFileSync(path.join(path.dirname(file), decodeURIComponent(uri))))),
    });
    const { numErrors, numWarnings, messages } = report.issues;
    console.log(`${file}: ${numErrors} errors, ${numWarnings} warnings`);
    for (const m of messages)
      if (m.severity <= 1) console.log(`  ${m.severity === 0 ? 'error' : 'warning'} ${m.code} ${m.pointer || ''}: ${m.message}`);
    failed = failed || numErrors > 0 || numWarnings > 0;
  }
  process.exit(failed ? 1 : 0);
})().catch((e) => {
  console.log(String(e));
  process.exit(1);
});
