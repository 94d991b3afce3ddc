#version 330
// iGroup weights the wind per vertex: 0 at the roots, larger towards the tips.
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
uniform vec3 vWind;
in vec4 vVertex;
in vec3 vNormal;
in vec2 vTexCoord0;
in vec3 vTangent;
in float iGroup;
out vec4 vVectorPosition;
out vec2 vTexCoord;
out mat3 mTBN;

void main() {
	vVectorPosition = mModelViewMatrix * vVertex;
	vVectorPosition.xyz += vWind * iGroup;
	gl_Position = mProjectionMatrix * vVectorPosition;
	vVectorPosition.w = 1.0;
	vec3 n = normalize(mNormalMatrix * vNormal);
	vec3 t = normalize(mNormalMatrix * vTangent);
	mTBN = mat3(t, cross(n, t), n);
	vTexCoord = vTexCoord0;
}
