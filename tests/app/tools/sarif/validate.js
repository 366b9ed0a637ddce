// Validates a SARIF log against the SARIF 2.1.0 schema of the package
// @microsoft/jest-sarif, with the JSON Schema validator it depends on (ajv).
//   node validate.js MODULES_DIR LOG.sarif
// Prints the schema's errors and exits 1 when the log does not match it.
'use strict';
const fs = require('fs');
const path = require('path');
const [modules, log] = process.argv.slice(2);
const Ajv = require(path.join(modules, 'ajv'));
const schema = JSON.parse(
  fs.readFileSync(path.join(modules, '@microsoft/jest-sarif/lib/schemas/sarif-2.1.0-rtm.5.json'), 'utf8'));
// The schema is written in JSON Schema draft 4.
const ajv = new Ajv({ allErrors: true, jsonPointers: true, schemaId: 'auto' });
ajv.addMetaSchema(require(path.join(modules, 'ajv/lib/refs/json-schema-draft-04.json')));
const validate = ajv.compile(schema);
if (!validate(JSON.parse(fs.readFileSync(log, 'utf8')))) {
  console.log(JSON.stringify(validate.errors, null, 2));
  process.exit(1);
}
console.log('valid SARIF 2.1.0');
